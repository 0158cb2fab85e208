#include "ui/SlotTexts.h"

#include <array>
#include <span>
#include <string>
#include <string_view>

#include "core/config/AttributeFamilies.h"
#include "core/store/KeyPaths.h"
#include "ui/HeaderTexts.h"
#include "ui/Messages.h"

namespace morvel {
namespace {

enum class Kind { kNamed, kNumber, kYesNo };

// The built-in Russian texts of one general slot: its title and, for named
// codes, the meaning of each code from 1.
struct GeneralTexts {
    std::string_view title;
    Kind kind;
    std::span<const std::string_view> codes;
};

constexpr std::array<std::string_view, 4> kStandard15 = {"ночь, 22:00–03:59", "утро, 04:00–09:59",
                                                         "день, 10:00–15:59", "вечер, 16:00–21:59"};
constexpr std::array<std::string_view, 7> kStandard13 = {"понедельник", "вторник", "среда",      "четверг",
                                                         "пятница",     "суббота", "воскресенье"};
constexpr std::array<std::string_view, 12> kStandard11 = {"январь",   "февраль", "март",   "апрель",
                                                          "май",      "июнь",    "июль",   "август",
                                                          "сентябрь", "октябрь", "ноябрь", "декабрь"};
constexpr std::array<std::string_view, 7> kStandard9 = {
    "32-разрядная Windows", "DOS",   "16-разрядная Windows",
    "PIF или неизвестный",  "POSIX", "16-разрядная OS/2",
    "64-разрядная Windows"};
constexpr std::array<std::string_view, 8> kStandard8 = {
    "меньше 1 КиБ",   "от 1 до 10 КиБ",   "от 10 до 100 КиБ",    "от 100 КиБ до 1 МиБ",
    "от 1 до 10 МиБ", "от 10 до 100 МиБ", "от 100 МиБ до 1 ГиБ", "1 ГиБ или больше"};
constexpr std::array<std::string_view, 6> kStandard3 = {
    "латинская буква, кроме s и i", "русская буква", "цифра", "s или i", "~", "другой"};
constexpr std::array<std::string_view, 4> kStandard1 = {"exe", "com", "scr", "другое"};

// In the order of the general slots.
constexpr std::array<GeneralTexts, ConfigTables::kGeneralSlots> kGeneral = {{
    {"Расширение", Kind::kNamed, kStandard1},
    {"Длина имени", Kind::kNumber, {}},
    {"Первый символ имени", Kind::kNamed, kStandard3},
    {"Цифры в имени", Kind::kYesNo, {}},
    {"Русские буквы в имени", Kind::kYesNo, {}},
    {"Особые символы в имени", Kind::kYesNo, {}},
    {"Латинские буквы в имени", Kind::kYesNo, {}},
    {"Размер", Kind::kNamed, kStandard8},
    {"Тип исполняемого файла", Kind::kNamed, kStandard9},
    {"День изменения", Kind::kNumber, {}},
    {"Месяц изменения", Kind::kNamed, kStandard11},
    {"Год изменения", Kind::kNumber, {}},
    {"День недели изменения", Kind::kNamed, kStandard13},
    {"Системный атрибут", Kind::kYesNo, {}},
    {"Время изменения", Kind::kNamed, kStandard15},
    {"Признак INT 33h", Kind::kYesNo, {}},
}};

QString Stored(const Registry& registry, const std::string& valueName, std::string_view builtIn) {
    std::string stored;
    return registry.GetKeyText(InterfaceKeyPath(), valueName, stored) ? QString::fromStdString(stored)
                                                                      : QString::fromUtf8(builtIn);
}

QString GeneralLine(const Registry& registry, std::int32_t s, std::int32_t code) {
    const GeneralTexts& texts = kGeneral[static_cast<std::size_t>(s - 1)];
    const std::string name = std::string(kStandardPrefix) + std::to_string(s);
    QString meaning;
    if (code == 0) {
        meaning = Text(registry, msg::kWhyNoValue);
    } else if (texts.kind == Kind::kYesNo) {
        meaning = Text(registry, code == kYes ? msg::kWhyYes : msg::kWhyNo);
    } else if (texts.kind == Kind::kNumber) {
        meaning = QString::number(s == slot::kYear ? code + 1900 : code);
    } else if (code <= static_cast<std::int32_t>(texts.codes.size())) {
        meaning = Stored(registry, name + "_" + std::to_string(code),
                         texts.codes[static_cast<std::size_t>(code - 1)]);
    } else {
        meaning = QString::number(code);
    }
    return Stored(registry, name, texts.title) + ": " + meaning;
}

}  // namespace

QString SlotLine(const Registry& registry, const ConfigTables& tables, std::int32_t s, std::int32_t code) {
    if (s >= 1 && s <= ConfigTables::kGeneralSlots) return GeneralLine(registry, s, code);
    const std::int32_t k = s - ConfigTables::kGeneralSlots;
    if (k >= 1 && k <= tables.SequenceCount) {
        const QString meaning = code == 0      ? Text(registry, msg::kWhyNoValue)
                                : code == kYes ? Text(registry, msg::kWhyFound)
                                               : Text(registry, msg::kWhyNotFound);
        return Text(registry, msg::kWhySequence, {QString::fromStdString(tables.SequenceTable[k])}) + ": " +
               meaning;
    }
    return HeaderSlotLine(registry, k - tables.SequenceCount, code);
}

}  // namespace morvel
