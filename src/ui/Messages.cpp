#include "ui/Messages.h"

#include <QFileInfo>
#include <algorithm>

#include "core/platform/CodePage.h"
#include "core/store/KeyPaths.h"
#include "core/store/StoreFiles.h"

namespace morvel {
namespace {

// Replaces %1..%9 by args in one pass, so that an argument holding "%2" stays as it is.
QString Filled(const QString& text, const QStringList& args) {
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == '%' && i + 1 < text.size() && text[i + 1] >= '1' && text[i + 1] <= '9') {
            const int n = text[i + 1].digitValue();
            if (n <= args.size()) {
                out += args[n - 1];
                ++i;
                continue;
            }
        }
        out += c;
    }
    return out;
}

}  // namespace

QString Text(const Registry& registry, const Message& message, const QStringList& args) {
    std::string stored;
    const QString text = registry.GetKeyText(InterfaceKeyPath(), message.name, stored)
                             ? QString::fromStdString(stored)
                             : QString::fromUtf8(message.russian);
    return Filled(text, args);
}

QString ProblemText(const Registry& registry, const LanguageProblem& problem) {
    using Kind = LanguageProblem::Kind;
    const QString detail = QString::fromStdString(problem.detail);
    switch (problem.kind) {
        case Kind::kOtherKey:
            return Text(registry, msg::kLanguageOtherKey, {detail});
        case Kind::kDeletion:
            return Text(registry, msg::kLanguageDeletion);
        case Kind::kMalformed:
            return Text(registry, msg::kLanguageMalformed);
        case Kind::kDefaultValue:
            return Text(registry, msg::kLanguageDefaultValue);
        case Kind::kNotText:
            return Text(registry, msg::kLanguageNotText);
        case Kind::kTooLong:
            return Text(registry, msg::kLanguageTooLong, {detail});
    }
    return QString::fromStdString(problem.message);
}

QString ReasonText(const Registry& registry, const Status& status) {
    if (status.IsBusy()) return Text(registry, msg::kStoreBusy);
    if (registry.IsOpen() && registry.IsReadOnly())
        return Text(registry, msg::kStoreReadOnly, {QString::fromStdString(registry.Path())});
    const Message& kind = status.IsInvalidInput() ? msg::kStoreRefused
                          : status.IsCorrupt()    ? msg::kStoreCorrupt
                                                  : msg::kStoreFailed;
    return Text(registry, kind) + "\n" +
           Text(registry, msg::kDetail, {QString::fromStdString(status.message())});
}

QString StoreFileText(const Registry& registry, const QString& path) {
    if (!IsOpenStoreFile(path.toStdString())) return QString();
    return Text(registry, msg::kStoreFile, {path});
}

QString ExamineFailureText(const Registry& registry, const QString& path, const Status& status) {
    const Message& kind = status.IsNotFound()       ? msg::kFileMissing
                          : status.IsInvalidInput() ? msg::kFileNotRegular
                                                    : msg::kFileUnreadable;
    return Text(registry, msg::kFileNotExamined, {path}) + "\n" + Text(registry, kind) + "\n" +
           Text(registry, msg::kDetail, {QString::fromStdString(status.message())});
}

QString LanguageFailureText(const Registry& registry, const QString& path, const Status& status) {
    const QString failed = Text(registry, msg::kLanguageFailed, {path}) + "\n";
    // A file that can be read failed in the store's write.
    if (status.IsBusy() || (status.IsIOError() && QFileInfo(path).isReadable()))
        return failed + ReasonText(registry, status);
    const Message& kind = status.IsNotFound()  ? msg::kFileMissing
                          : status.IsIOError() ? msg::kFileUnreadable
                                               : msg::kLanguageNotLanguage;
    return failed + Text(registry, kind) + "\n" +
           Text(registry, msg::kDetail, {QString::fromStdString(status.message())});
}

QString LackedCharactersText(const Registry& registry, const QString& field, const QString& text) {
    const auto missing = codepage::MissingCharacters(text.toStdString());
    if (missing.empty()) return QString();
    QStringList characters;
    for (const auto& c : missing) characters << QString::fromStdString(c);
    return Text(registry, msg::kCannotHold, {field, text, characters.join(' ')});
}

QString CannotHoldText(const Registry& registry, const QString& field, const QString& text,
                       std::size_t maxBytes) {
    if (QString lacked = LackedCharactersText(registry, field, text); !lacked.isEmpty()) return lacked;
    const std::size_t most = std::min(maxBytes, Registry::kMaxValueBytes);
    if (codepage::ToAnsi(text.toStdString()).size() <= most) return QString();
    // The start of the text tells the user which one it is.
    constexpr qsizetype kShown = 40;
    const QString start = text.size() <= kShown ? text : text.left(kShown) + QChar(0x2026);
    return Text(registry, msg::kTooLong, {field, QString::number(most), start});
}

}  // namespace morvel
