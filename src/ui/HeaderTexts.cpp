#include "ui/HeaderTexts.h"

#include <array>
#include <span>
#include <string>
#include <string_view>

#include "core/config/AttributeFamilies.h"
#include "core/store/KeyPaths.h"

namespace morvel {
namespace {

// The built-in Russian texts of one header slot: its title, what 0 means and
// the meaning of each code from 1 (empty for a slot that counts).
struct RussianTexts {
    std::string_view title;
    std::string_view none;
    std::span<const std::string_view> codes;
};

constexpr std::string_view kNotApplicable = "неприменимо";
constexpr std::array<std::string_view, 2> kYesNo = {"да", "нет"};
constexpr std::array<std::string_view, 7> kFormats = {
    "DOS",   "NE (16-разрядная Windows или OS/2)", "LE", "LX", "PE32",
    "PE32+", "MZ с неизвестным новым заголовком"};
constexpr std::array<std::string_view, 6> kMachines = {"x86", "x86-64", "ARM", "ARM64", "Itanium", "другой"};
constexpr std::array<std::string_view, 5> kSubsystems = {
    "собственная (драйвер или системная)", "графическая Windows", "консольная Windows", "EFI", "другая"};
constexpr std::array<std::string_view, 4> kStubs = {
    "обычная заглушка DOS", "заглушка встроенных библиотек Wine", "другая заглушка", "нет заглушки"};
constexpr std::array<std::string_view, 6> kImports = {"нет импорта",          "среда .NET (mscoree)",
                                                      "ядро (ntoskrnl, hal)", "msvcrt",
                                                      "среда Visual C++",     "только другие библиотеки"};
constexpr std::array<std::string_view, 5> kOverlays = {"нет", "меньше 4 КиБ", "от 4 до 64 КиБ",
                                                       "от 64 КиБ до 1 МиБ", "1 МиБ или больше"};
constexpr std::array<std::string_view, 4> kManifests = {"нет ресурсов", "ресурсы без манифеста", "манифест",
                                                        "манифест с запросом повышения прав"};
constexpr std::array<std::string_view, 3> kPackers = {
    "секции известного упаковщика", "точка входа в записываемой секции или вне секций", "ни то, ни другое"};
constexpr std::array<std::string_view, 8> kEntropies = {
    "меньше 2 бит на байт", "от 2 до 4",   "от 4 до 5",   "от 5 до 6",
    "от 6 до 6,5",          "от 6,5 до 7", "от 7 до 7,5", "7,5 или больше"};

// In the order of the header_slot enum.
constexpr std::array<RussianTexts, kHeaderSlotCount> kRussian = {{
    {"Формат файла", "не исполняемый файл MZ", kFormats},
    {"Процессор", kNotApplicable, kMachines},
    {"Подсистема", kNotApplicable, kSubsystems},
    {"Библиотека", kNotApplicable, kYesNo},
    {"Сборка .NET", kNotApplicable, kYesNo},
    {"Заглушка DOS", kNotApplicable, kStubs},
    {"Среда выполнения", kNotApplicable, kImports},
    {"Секций", kNotApplicable, {}},
    {"Версия компоновщика", kNotApplicable, {}},
    {"Данные после образа", kNotApplicable, kOverlays},
    {"Подпись (таблица сертификатов)", kNotApplicable, kYesNo},
    {"Манифест", kNotApplicable, kManifests},
    {"Упаковка", kNotApplicable, kPackers},
    {"Энтропия", "пустой файл", kEntropies},
}};

}  // namespace

QString HeaderSlotLine(const Registry& registry, std::int32_t h, std::int32_t code) {
    if (h < 1 || h > kHeaderSlotCount) return {};
    const RussianTexts& russian = kRussian[static_cast<std::size_t>(h - 1)];
    std::string name(kHeaderPrefix);
    for (const AttributeFamily& family : AttributeFamilies())
        if (family.id == AttributeFamily::Id::kHeader) name += family.slotCodes[h - 1].word;
    auto text = [&](const std::string& valueName, std::string_view builtIn) {
        std::string stored;
        return registry.GetKeyText(InterfaceKeyPath(), valueName, stored) ? QString::fromStdString(stored)
                                                                          : QString::fromUtf8(builtIn);
    };
    QString meaning;
    if (code == 0) {
        meaning = text(name + "0", russian.none);
    } else if (russian.codes.empty()) {
        // A count kept plus one; the last code stands for that many or more.
        const std::int32_t limit = ClosedCodeCount(name);
        meaning = QString::number(code - 1) + (code == limit ? "+" : "");
    } else if (code <= static_cast<std::int32_t>(russian.codes.size())) {
        meaning = text(name + std::to_string(code), russian.codes[static_cast<std::size_t>(code - 1)]);
    } else {
        meaning = QString::number(code);
    }
    return text(name, russian.title) + ": " + meaning;
}

}  // namespace morvel
