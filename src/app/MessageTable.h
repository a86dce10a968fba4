// The wizard's built-in texts in Simplified Chinese, Traditional Chinese and
// English, and the process-wide system language id that picks among them.
#pragma once

#include <QString>
#include <QtGlobal>

// Windows language ids as the installer uses them: low 10 bits primary
// language, high 6 bits sublanguage.
constexpr quint16 kLangChinesePrimary = 0x04;
constexpr quint16 kLangChineseTaiwan = 0x0404;
constexpr quint16 kLangChinesePrc = 0x0804;
constexpr quint16 kLangEnglishUs = 0x0409;

// One row of the message table; the last row has id 0 and null texts.
struct MessageRecord {
    qint32 id;
    const char16_t* simplified;
    const char16_t* traditional;
    const char16_t* english;
};

// The whole table in ascending id order, terminated by the id-0 row;
// count includes that row.
const MessageRecord* MessageTableRecords(int* count = nullptr);

// The text for id in the system language, or null when the table has no such
// id (id 0 included). The text lives as long as the program. Callers must not
// format a null text.
//   primary language not Chinese      -> English
//   Chinese, sublanguage 1 (0x0404)   -> Traditional, unless that is empty
//   any other Chinese                 -> Simplified
const char16_t* GetText(int id);

// The text of one record by the rules of GetText; the other small tables of
// texts in the three languages use it too.
const char16_t* TextInSystemLanguage(const MessageRecord& record);

// GetText as a QString; a null QString when the id is unknown.
QString GetTextString(int id);

// The system language id. Start-up records it once (SetSystemLanguageId);
// until then it is derived from the locale on first use.
quint16 GetSystemLanguageId();
void SetSystemLanguageId(quint16 langId);
