// Every text the program shows or logs, code page 1251 bytes in the data. A
// person at the screen reads them in message boxes; an unattended run writes
// them into its log. The dialogs' own texts live in the resource script and
// strings.h.
#ifndef BRISVANE_MESSAGES_H
#define BRISVANE_MESSAGES_H

#include "strings.h"

// The outcomes of the flow.
inline constexpr char TEXT_SWITCHED_OFF[] =
    "Инсталлятор успешно обновил информацию о продукте. "
    "Для активизации внесенных изменений необходимо перезагрузить компьютер.";
inline constexpr char TEXT_SWITCHED_ON[] = "Сообщения 'Мало Тонера' смогут появляться после перезагрузки системы";
inline constexpr char TEXT_SWITCH_ON_FAILED[] = "Инсталлятор не смог включить сообщения 'Мало Тонера";
inline constexpr char TEXT_NO_PRINTER[] = "В системе не установлены поддерживамые продукты";

// The failures of the monitor setting.
inline constexpr char TEXT_NO_PRODUCT_INFO[] = "Инсталлятор не обнаружил информации о продуктах в реестре";
inline constexpr char TEXT_UPDATE_FAILED[] = "Инсталлятор не смог обновить информацию о продукте в реестре";

// The restart that follows a change.
inline constexpr char TEXT_RESTART_FAILED[] =
    "Не удалось перезагрузить компьютер. Перезагрузите его вручную для активизации внесенных изменений.";
inline constexpr char LOG_RESTART_REQUESTED[] = "Запрошена перезагрузка компьютера";
inline constexpr char LOG_RESTART_FAILED[] = "Не удалось запросить перезагрузку, ошибка ";

// Only an unattended run, which has no dialogs to show its state, says these.
inline constexpr char TEXT_USAGE[] =
    "Без параметров: диалоги инсталлятора. Без окон:\n"
    "/off [/printer \"ИМЯ\"] - отключить сообщения 'Мало Тонера'\n"
    "/on - включить их снова\n"
    "/restart - перезагрузка после изменения\n"
    "/log ФАЙЛ - отчет в ФАЙЛ\n\n"
    "Коды: 0 менять нечего, 3010 нужна перезагрузка, 1641 перезагрузка запрошена, 1603 ошибка, "
    "1168 нет принтера, 1618 идет другой запуск, 1639 неверные параметры";
inline constexpr char LOG_STARTED_ON[] = "Запуск на ";
inline constexpr char LOG_STARTED_ARGUMENTS[] = ": ";
inline constexpr char LOG_BAD_COMMAND_LINE[] = "Неверная командная строка (справка: /?)";
inline constexpr char LOG_ALREADY_RUNNING[] = "Уже идет другой запуск";
inline constexpr char LOG_LOCK_NOT_ADMINISTRATORS[] = "Блокировка создана не администратором и не учитывается: ";
inline constexpr char LOG_PRINTER[] = "Принтер: ";
inline constexpr char LOG_PRINTER_NOT_SUPPORTED[] = "Нет поддерживаемого принтера: ";
inline constexpr char LOG_OTHER_PRINTER[] = "Сообщения отключены для другого принтера: ";
inline constexpr char LOG_ALREADY_OFF[] = "Сообщения уже отключены";
inline constexpr char LOG_NO_RECORD[] = "Нет записи HKLM\\";
inline constexpr char LOG_RECORD_NOT_A_NAME[] = "Запись не называет принтер: HKLM\\";
inline constexpr char LOG_NOT_RECORDED[] = "Не удалось записать HKLM\\";
inline constexpr char LOG_RECORD_KEPT[] = "Не удалось удалить HKLM\\";
inline constexpr char LOG_NOW_OFF[] = "Сейчас TonerLow = 1: ";
inline constexpr char LOG_NOW_ON[] = "Сейчас нет TonerLow: ";
inline constexpr char LOG_NOW_RECORDED[] = "Сейчас в записи: ";
inline constexpr char LOG_NOW_NO_RECORD[] = "Сейчас записи нет";
inline constexpr char LOG_NOW_RECORD_UNREADABLE[] = "Сейчас запись есть, но не читается: HKLM\\";
inline constexpr char LOG_EXIT[] = "Код завершения: ";
inline constexpr char LOG_NOTHING_TO_UNDO[] = "Откатывать нечего";
inline constexpr char LOG_EVENT_NOT_REPORTED[] = "Не удалось записать событие в журнал приложений, ошибка ";
// A run without switches, or one asking for the usage, where nobody can see a window.
inline constexpr char LOG_NO_ONE_TO_SEE_DIALOGS[] =
    "Без параметров инсталлятор показывает окна, а здесь их некому увидеть: укажите /off или /on";
inline constexpr char LOG_NO_ONE_TO_SEE_USAGE[] = "Справка не показана: здесь ее некому увидеть";

// How the log names what was written or deleted; every path lies under
// HKEY_LOCAL_MACHINE.
inline constexpr char LOG_WRITTEN[] = "Записано: HKLM\\";
inline constexpr char LOG_DELETED[] = "Удалено: HKLM\\";

#endif
