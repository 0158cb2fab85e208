// The program's own messages: what the windows say beyond their captions
// (refused or failed saves, a refused Remember, a file that cannot be
// started, a language file's problems). Each is a value of the "\Interface"
// key with a built-in Russian text, so that a language file translates it
// like any caption. The value names are listed in the README.
//
// Used on the user-interface thread.
#pragma once

#include <QString>
#include <QStringList>
#include <string_view>

#include "core/exchange/LanguageFile.h"
#include "core/platform/Status.h"
#include "core/store/Registry.h"

namespace morvel {

// A message: its value name under "\Interface" and its Russian text, in which
// %1, %2, ... stand for what Text fills in.
struct Message {
    std::string_view name;
    const char* russian;
};

namespace msg {
// Saves that failed or were refused; the reason follows on lines of its own.
inline constexpr Message kSequencesNotSaved{"MsgSequencesNotSaved",
                                            "Последовательности для поиска не сохранены."};
inline constexpr Message kTargetsNotSaved{"MsgTargetsNotSaved", "Целевые атрибуты не сохранены."};
// Asked before a target table with an identifier used twice is stored: %1 the identifier.
inline constexpr Message kDuplicateTargetId{
    "MsgDuplicateTargetId",
    "Идентификатор «%1» встречается в списке несколько раз: значения этих атрибутов будут храниться "
    "в примерах под одним именем. Всё равно сохранить?"};
inline constexpr Message kOptionsNotSaved{"MsgOptionsNotSaved", "Параметры этого окна не сохранены."};
inline constexpr Message kNotRemembered{"MsgNotRemembered",
                                        "Файл не сохранён как пример; ваши значения остались в окне."};
// %1 the most that can be kept, %2 how many the list has.
inline constexpr Message kTooManySequences{
    "MsgTooManySequences", "Можно хранить не более %1 последовательностей для поиска, а в списке их %2."};
// A text the store cannot hold: %1 the field, %2 the text, %3 the characters.
inline constexpr Message kCannotHold{"MsgCannotHold",
                                     "%1 «%2» содержит символы, которые нельзя сохранить: %3"};
// A text longer than the store holds: %1 the field, %2 the most characters,
// %3 the text's start.
inline constexpr Message kTooLong{"MsgTooLong", "%1 «%3» длиннее %2 символов."};
// The fields %1 of kCannotHold and kTooLong name.
inline constexpr Message kFieldSequence{"MsgFieldSequence", "Последовательность"};
inline constexpr Message kFieldTargetId{"MsgFieldTargetId", "Идентификатор"};
inline constexpr Message kFieldTargetName{"MsgFieldTargetName", "Название"};
inline constexpr Message kFieldTargetValue{"MsgFieldTargetValue", "Значение атрибута «%1»"};
inline constexpr Message kFieldFindText{"MsgFieldFindText", "Текст для поиска"};
// Why a store write failed, one text per kind of failure; the system's own
// words follow as a detail. %1 of kStoreReadOnly: the store's file.
inline constexpr Message kStoreBusy{
    "MsgStoreBusy", "Хранилище занято другой запущенной программой; повторите попытку позже."};
inline constexpr Message kStoreReadOnly{"MsgStoreReadOnly",
                                        "Хранилище %1 открыто только для чтения: записать в него нельзя."};
inline constexpr Message kStoreRefused{"MsgStoreRefused", "Хранилище не может принять эти данные."};
inline constexpr Message kStoreCorrupt{"MsgStoreCorrupt", "Хранилище повреждено."};
inline constexpr Message kStoreFailed{"MsgStoreFailed", "Не удалось записать хранилище."};
// A technical detail under a message, in the system's words (%1).
inline constexpr Message kDetail{"MsgDetail", "Подробности: %1"};
// A file that cannot be examined: %1 the file; the kind of failure follows.
inline constexpr Message kFileNotExamined{"MsgFileNotExamined", "Файл %1 нельзя исследовать."};
inline constexpr Message kFileMissing{"MsgFileMissing", "Такого файла нет."};
inline constexpr Message kFileUnreadable{"MsgFileUnreadable",
                                         "Файл нельзя прочитать: нет прав на чтение, или система отказала."};
inline constexpr Message kFileNotRegular{
    "MsgFileNotRegular", "Исследуются только обычные файлы, в имени которых есть расширение."};
// The store could not be opened at start (%1 its file); the program stops.
// Shown before any store is read, so always in Russian.
inline constexpr Message kStoreUnavailable{"MsgStoreUnavailable",
                                           "Хранилище %1 нельзя открыть как хранилище Morvel; файл оставлен "
                                           "как есть.\n\nMorvel завершает работу."};
// Run: %1 the file.
inline constexpr Message kRunMissing{"MsgRunMissing", "Файл %1 не найден."};
inline constexpr Message kRunFailed{
    "MsgRunFailed",
    "Файл %1 нельзя запустить: это не программа для этой системы, и программа для его открытия не задана."};
// A file the windows do not open, examine or start because it is one of the
// store's own files (see StoreFiles.h): %1 the file.
inline constexpr Message kStoreFile{
    "MsgStoreFile",
    "Файл %1 — один из файлов хранилища Morvel. Программа не открывает его сама: иначе записанное в "
    "хранилище могло бы пропасть."};
// A language file: %1 the file, %2 how many lines were skipped. A refused
// file's message gives why on a line of its own.
inline constexpr Message kLanguageSkipped{"MsgLanguageSkipped",
                                          "Языковой файл %1 загружен, но пропущено строк: %2."};
inline constexpr Message kLanguageFailed{"MsgLanguageFailed", "Языковой файл %1 не загружен."};
inline constexpr Message kLanguageNotLanguage{
    "MsgLanguageNotLanguage",
    "Это не языковой файл: он должен быть текстом редактора реестра (REGEDIT4 или версии 5.00)."};
// One skipped line: %1 its number, %2 why (one of the kLanguage... below).
inline constexpr Message kLanguageLine{"MsgLanguageLine", "строка %1: %2"};
inline constexpr Message kLanguageOtherKey{"MsgLanguageOtherKey",
                                           "ключ [%1] — не ключ текстов интерфейса, его значения пропущены"};
inline constexpr Message kLanguageDeletion{"MsgLanguageDeletion", "удаление не выполняется"};
inline constexpr Message kLanguageMalformed{"MsgLanguageMalformed",
                                            "строка не разобрана: это не ключ, не значение и не комментарий"};
inline constexpr Message kLanguageDefaultValue{"MsgLanguageDefaultValue",
                                               "значение ключа по умолчанию не используется"};
inline constexpr Message kLanguageNotText{"MsgLanguageNotText", "берутся только текстовые значения"};
inline constexpr Message kLanguageTooLong{"MsgLanguageTooLong", "значение «%1» длиннее, чем может храниться"};
// The review window: its captions, columns and status lines (%1 files listed,
// %2 taught already, %3 not readable, %4 in the folder; of kReviewProgress
// %1 examined of %2).
inline constexpr Message kReviewTitle{"MsgReviewTitle", "Что изучить первым"};
inline constexpr Message kReviewFolder{"MsgReviewFolder", "&Папка:"};
inline constexpr Message kReviewChoose{"MsgReviewChoose", "Выбрать..."};
inline constexpr Message kReviewChooseTitle{"MsgReviewChooseTitle", "Папка для обзора"};
inline constexpr Message kReviewTarget{"MsgReviewTarget", "&Целевой атрибут:"};
inline constexpr Message kReviewStart{"MsgReviewStart", "Обзор"};
inline constexpr Message kReviewStop{"MsgReviewStop", "Стоп"};
inline constexpr Message kReviewClose{"MsgReviewClose", "Закрыть"};
inline constexpr Message kReviewFile{"MsgReviewFile", "Файл"};
inline constexpr Message kReviewValue{"MsgReviewValue", "Значение"};
inline constexpr Message kReviewCertainty{"MsgReviewCertainty", "Уверенность"};
inline constexpr Message kReviewNovelty{"MsgReviewNovelty", "Новизна"};
inline constexpr Message kReviewWorth{"MsgReviewWorth", "Польза"};
inline constexpr Message kReviewNoExamples{"MsgReviewNoExamples", "(нет примеров)"};
inline constexpr Message kReviewNoTargets{"MsgReviewNoTargets",
                                          "Целевых атрибутов нет: добавьте их в меню «Настройки»."};
inline constexpr Message kReviewProgress{"MsgReviewProgress", "Просмотрено файлов: %1 из %2"};
inline constexpr Message kReviewDone{
    "MsgReviewDone", "Файлов в списке: %1; уже изучено: %2; не прочитано: %3 (всего в папке %4)."};
inline constexpr Message kReviewStopped{
    "MsgReviewStopped",
    "Обзор остановлен. Файлов в списке: %1; уже изучено: %2; не прочитано: %3 (всего в папке %4)."};
// Why a value came out (the classification window's rows): %1.. as WhyText fills them.
inline constexpr Message kWhyExamples{"MsgWhyExamples", "%1: значение выведено из примеров (%2)."};
inline constexpr Message kWhyStep{"MsgWhyStep", "Шаг %1: примеров %2, классов %3, чаще всего «%4» (%5)."};
inline constexpr Message kWhyTest{"MsgWhyTest", "    проверено: %1"};
inline constexpr Message kWhyEndOneClass{"MsgWhyEndOneClass", "    остался один класс: шаги закончены."};
inline constexpr Message kWhyEndNoTest{"MsgWhyEndNoTest",
                                       "    ни один атрибут больше не разделяет примеры: шаги закончены."};
inline constexpr Message kWhyWalkValue{"MsgWhyWalkValue",
                                       "Значение — класс, который чаще всего встречается на последнем шаге."};
inline constexpr Message kWhyBayes{"MsgWhyBayes",
                                   "Оценка «%1» в %2 раза выше, чем у следующего класса «%3»."};
inline constexpr Message kWhyBayesOne{"MsgWhyBayesOne", "«%1» — единственный класс в примерах."};
inline constexpr Message kWhyFor{"MsgWhyFor", "Больше всего за «%1»:"};
inline constexpr Message kWhyAgainst{"MsgWhyAgainst", "Больше всего против «%1»:"};
inline constexpr Message kWhyFactor{"MsgWhyFactor", "    %1 (так у %2 из %3 примеров класса)"};
inline constexpr Message kWhyNoExamples{"MsgWhyNoExamples",
                                        "Для этого атрибута ещё нет примеров: предсказывать не из чего."};
inline constexpr Message kWhyNoClasses{"MsgWhyNoClasses", "Список классов пуст: объяснять нечего."};
inline constexpr Message kWhyNoMethod{"MsgWhyNoMethod", "Метод «%1» программе не известен: значения нет."};
inline constexpr Message kWhyNoValue{"MsgWhyNoValue", "нет значения"};
inline constexpr Message kWhyYes{"MsgWhyYes", "да"};
inline constexpr Message kWhyNo{"MsgWhyNo", "нет"};
inline constexpr Message kWhySequence{"MsgWhySequence", "Последовательность «%1»"};
inline constexpr Message kWhyFound{"MsgWhyFound", "найдена"};
inline constexpr Message kWhyNotFound{"MsgWhyNotFound", "не найдена"};
// Every message a language file can translate, for the language files and
// the README's list (kStoreUnavailable is shown before any store is read).
inline constexpr Message kAll[] = {kSequencesNotSaved,
                                   kTargetsNotSaved,
                                   kDuplicateTargetId,
                                   kOptionsNotSaved,
                                   kNotRemembered,
                                   kTooManySequences,
                                   kCannotHold,
                                   kTooLong,
                                   kFieldSequence,
                                   kFieldTargetId,
                                   kFieldTargetName,
                                   kFieldTargetValue,
                                   kFieldFindText,
                                   kStoreBusy,
                                   kStoreReadOnly,
                                   kStoreRefused,
                                   kStoreCorrupt,
                                   kStoreFailed,
                                   kStoreFile,
                                   kDetail,
                                   kFileNotExamined,
                                   kFileMissing,
                                   kFileUnreadable,
                                   kFileNotRegular,
                                   kRunMissing,
                                   kRunFailed,
                                   kLanguageSkipped,
                                   kLanguageFailed,
                                   kLanguageNotLanguage,
                                   kLanguageLine,
                                   kLanguageOtherKey,
                                   kLanguageDeletion,
                                   kLanguageMalformed,
                                   kLanguageDefaultValue,
                                   kLanguageNotText,
                                   kLanguageTooLong,
                                   kReviewTitle,
                                   kReviewFolder,
                                   kReviewChoose,
                                   kReviewChooseTitle,
                                   kReviewTarget,
                                   kReviewStart,
                                   kReviewStop,
                                   kReviewClose,
                                   kReviewFile,
                                   kReviewValue,
                                   kReviewCertainty,
                                   kReviewNovelty,
                                   kReviewWorth,
                                   kReviewNoExamples,
                                   kReviewNoTargets,
                                   kReviewProgress,
                                   kReviewDone,
                                   kReviewStopped,
                                   kWhyExamples,
                                   kWhyStep,
                                   kWhyTest,
                                   kWhyEndOneClass,
                                   kWhyEndNoTest,
                                   kWhyWalkValue,
                                   kWhyBayes,
                                   kWhyBayesOne,
                                   kWhyFor,
                                   kWhyAgainst,
                                   kWhyFactor,
                                   kWhyNoExamples,
                                   kWhyNoClasses,
                                   kWhyNoMethod,
                                   kWhyNoValue,
                                   kWhyYes,
                                   kWhyNo,
                                   kWhySequence,
                                   kWhyFound,
                                   kWhyNotFound};
}  // namespace msg

// The message's text: the "\Interface" value of its name when the store has
// one, else its Russian text; %1, %2, ... replaced by args in order.
QString Text(const Registry& registry, const Message& message, const QStringList& args = {});

// Why a language file's line was skipped, in the interface's words.
QString ProblemText(const Registry& registry, const LanguageProblem& problem);

// The words for why a store write failed: a text for its kind of failure,
// then the system's own words as a detail where they tell more.
QString ReasonText(const Registry& registry, const Status& status);

// The message for a file that the windows refuse because it is one of the
// store's own files, or an empty text for any other file. Looks with stat
// only, so asking opens nothing.
QString StoreFileText(const Registry& registry, const QString& path);
// The words for why the file at path could not be examined (status from the
// examiner): the file, the kind of failure, and the system's words as a detail.
QString ExamineFailureText(const Registry& registry, const QString& path, const Status& status);

// The words for why the language file at path was not imported (status from
// the import): the file, why, and the system's words as a detail.
QString LanguageFailureText(const Registry& registry, const QString& path, const Status& status);

// The message for a text with characters the store's code page lacks, naming
// them, or an empty text when it has none: field names the box (already in
// words), text is what it holds.
QString LackedCharactersText(const Registry& registry, const QString& field, const QString& text);

// The message for a text the store cannot hold (a character its code page
// lacks, or more than maxBytes in it), or an empty text when it can: field
// names the box (already in words), text is what it holds.
QString CannotHoldText(const Registry& registry, const QString& field, const QString& text,
                       std::size_t maxBytes = Registry::kMaxValueBytes);

}  // namespace morvel
