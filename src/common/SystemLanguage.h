// The machine's language as a Windows language id, derived from the POSIX
// locale. The installer's texts, fonts and links are chosen by this id; it
// sits with the message table, below every module that shows a text.
#pragma once

#include <QString>
#include <QtGlobal>

// The id for one locale name ("zh_TW.UTF-8", "de_DE@euro", "zh_Hant_HK", "C").
// Chinese keeps its territory because the texts depend on it:
//   zh_TW 0x0404, zh_CN and plain zh 0x0804, zh_HK 0x0C04, zh_SG 0x1004,
//   zh_MO 0x1404, other territories 0x0804; script forms without a territory:
//   zh_Hant 0x0404, zh_Hans 0x0804.
// en_US is 0x0409. Every other known language gives its primary language id
// alone (de_DE -> 0x0007, en_GB -> 0x0009): only the primary language matters
// outside Chinese. "C", "POSIX", empty and unknown languages give 0x0409.
quint16 LanguageIdForLocale(const QString& locale);

// The locale that decides message language: the first non-empty of LC_ALL,
// LC_MESSAGES and LANG (empty when all are unset or empty).
QString MessagesLocale();

// LanguageIdForLocale(MessagesLocale()).
quint16 SystemLanguageId();
