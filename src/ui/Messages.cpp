#include "ui/Messages.h"

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
    return Text(registry, msg::kStoreFailed, {QString::fromStdString(status.message())});
}

QString StoreFileText(const Registry& registry, const QString& path) {
    if (!IsOpenStoreFile(path.toStdString())) return QString();
    return Text(registry, msg::kStoreFile, {path});
}

QString CannotHoldText(const Registry& registry, const QString& field, const QString& text) {
    const std::string utf8 = text.toStdString();
    const auto missing = codepage::MissingCharacters(utf8);
    if (missing.empty()) {
        if (codepage::ToAnsi(utf8).size() <= Registry::kMaxValueBytes) return QString();
        return Text(registry, msg::kTooLong, {field, QString::number(Registry::kMaxValueBytes)});
    }
    QStringList characters;
    for (const auto& c : missing) characters << QString::fromStdString(c);
    return Text(registry, msg::kCannotHold, {field, text, characters.join(' ')});
}

}  // namespace morvel
