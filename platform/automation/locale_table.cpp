// The locale table: number, currency and calendar conventions of the locales the system
// supports, with the values the platform's locale database has carried since the
// euro changeover. Everything here is constant data, so the table needs no initialisation when
// the library is loaded.

#include <array>
#include <span>
#include <string_view>

#include "platform/automation/locale.h"
#include "platform/automation/locale_internal.h"

namespace {

using DayNames = std::array<std::u16string_view, 7>;
using MonthNames = std::array<std::u16string_view, 12>;

// Groups of three repeated without end: the "3;0" of the locale database.
constexpr std::array<uint8_t, 4> kGroupsOfThree = {3, 0, 0, 0};
constexpr uint8_t kGroupsOfThreeCount = 2;

constexpr std::u16string_view kNoBreakSpace = u"\u00A0";
constexpr std::u16string_view kEuro = u"\u20AC";

// English
constexpr DayNames kEnglishDays = {u"Sunday",   u"Monday", u"Tuesday", u"Wednesday",
                                   u"Thursday", u"Friday", u"Saturday"};
constexpr DayNames kEnglishShortDays = {u"Sun", u"Mon", u"Tue", u"Wed", u"Thu", u"Fri", u"Sat"};
constexpr MonthNames kEnglishMonths = {u"January", u"February", u"March",     u"April",
                                       u"May",     u"June",     u"July",      u"August",
                                       u"September", u"October", u"November", u"December"};
constexpr MonthNames kEnglishShortMonths = {u"Jan", u"Feb", u"Mar", u"Apr", u"May", u"Jun",
                                            u"Jul", u"Aug", u"Sep", u"Oct", u"Nov", u"Dec"};

// German; Austria names January differently
constexpr DayNames kGermanDays = {u"Sonntag",    u"Montag",  u"Dienstag", u"Mittwoch",
                                  u"Donnerstag", u"Freitag", u"Samstag"};
constexpr DayNames kGermanShortDays = {u"So", u"Mo", u"Di", u"Mi", u"Do", u"Fr", u"Sa"};
constexpr MonthNames kGermanMonths = {u"Januar", u"Februar", u"März",      u"April",
                                      u"Mai",    u"Juni",    u"Juli",      u"August",
                                      u"September", u"Oktober", u"November", u"Dezember"};
constexpr MonthNames kGermanShortMonths = {u"Jan", u"Feb", u"Mrz", u"Apr", u"Mai", u"Jun",
                                           u"Jul", u"Aug", u"Sep", u"Okt", u"Nov", u"Dez"};
constexpr MonthNames kAustrianMonths = {u"Jänner", u"Februar", u"März",      u"April",
                                        u"Mai",    u"Juni",    u"Juli",      u"August",
                                        u"September", u"Oktober", u"November", u"Dezember"};
constexpr MonthNames kAustrianShortMonths = {u"Jän", u"Feb", u"Mrz", u"Apr", u"Mai", u"Jun",
                                             u"Jul", u"Aug", u"Sep", u"Okt", u"Nov", u"Dez"};

// French
constexpr DayNames kFrenchDays = {u"dimanche", u"lundi",    u"mardi", u"mercredi",
                                  u"jeudi",    u"vendredi", u"samedi"};
constexpr DayNames kFrenchShortDays = {u"dim.", u"lun.", u"mar.", u"mer.",
                                       u"jeu.", u"ven.", u"sam."};
constexpr MonthNames kFrenchMonths = {u"janvier", u"février", u"mars",      u"avril",
                                      u"mai",     u"juin",    u"juillet",   u"août",
                                      u"septembre", u"octobre", u"novembre", u"décembre"};
constexpr MonthNames kFrenchShortMonths = {u"janv.", u"févr.", u"mars", u"avr.",
                                           u"mai",   u"juin",  u"juil.", u"août",
                                           u"sept.", u"oct.",  u"nov.",  u"déc."};

// Italian
constexpr DayNames kItalianDays = {u"domenica", u"lunedì",  u"martedì", u"mercoledì",
                                   u"giovedì",  u"venerdì", u"sabato"};
constexpr DayNames kItalianShortDays = {u"dom", u"lun", u"mar", u"mer", u"gio", u"ven", u"sab"};
constexpr MonthNames kItalianMonths = {u"gennaio", u"febbraio", u"marzo",     u"aprile",
                                       u"maggio",  u"giugno",   u"luglio",    u"agosto",
                                       u"settembre", u"ottobre", u"novembre", u"dicembre"};
constexpr MonthNames kItalianShortMonths = {u"gen", u"feb", u"mar", u"apr", u"mag", u"giu",
                                            u"lug", u"ago", u"set", u"ott", u"nov", u"dic"};

// Spanish
constexpr DayNames kSpanishDays = {u"domingo", u"lunes",   u"martes", u"miércoles",
                                   u"jueves",  u"viernes", u"sábado"};
constexpr DayNames kSpanishShortDays = {u"dom", u"lun", u"mar", u"mié", u"jue", u"vie", u"sáb"};
constexpr MonthNames kSpanishMonths = {u"enero", u"febrero", u"marzo",      u"abril",
                                       u"mayo",  u"junio",   u"julio",      u"agosto",
                                       u"septiembre", u"octubre", u"noviembre", u"diciembre"};
constexpr MonthNames kSpanishShortMonths = {u"ene", u"feb", u"mar", u"abr", u"may", u"jun",
                                            u"jul", u"ago", u"sep", u"oct", u"nov", u"dic"};

// Dutch
constexpr DayNames kDutchDays = {u"zondag",    u"maandag", u"dinsdag", u"woensdag",
                                 u"donderdag", u"vrijdag", u"zaterdag"};
constexpr DayNames kDutchShortDays = {u"zo", u"ma", u"di", u"wo", u"do", u"vr", u"za"};
constexpr MonthNames kDutchMonths = {u"januari", u"februari", u"maart",     u"april",
                                     u"mei",     u"juni",     u"juli",      u"augustus",
                                     u"september", u"oktober", u"november", u"december"};
constexpr MonthNames kDutchShortMonths = {u"jan", u"feb", u"mrt", u"apr", u"mei", u"jun",
                                          u"jul", u"aug", u"sep", u"okt", u"nov", u"dec"};

// Portuguese; Portugal capitalises the month names
constexpr DayNames kPortugueseDays = {u"domingo",       u"segunda-feira", u"terça-feira",
                                      u"quarta-feira",  u"quinta-feira",  u"sexta-feira",
                                      u"sábado"};
constexpr DayNames kPortugueseShortDays = {u"dom", u"seg", u"ter", u"qua",
                                           u"qui", u"sex", u"sáb"};
constexpr MonthNames kBrazilianMonths = {u"janeiro", u"fevereiro", u"março",    u"abril",
                                         u"maio",    u"junho",     u"julho",    u"agosto",
                                         u"setembro", u"outubro",  u"novembro", u"dezembro"};
constexpr MonthNames kBrazilianShortMonths = {u"jan", u"fev", u"mar", u"abr", u"mai", u"jun",
                                              u"jul", u"ago", u"set", u"out", u"nov", u"dez"};
constexpr MonthNames kPortugalMonths = {u"Janeiro", u"Fevereiro", u"Março",    u"Abril",
                                        u"Maio",    u"Junho",     u"Julho",    u"Agosto",
                                        u"Setembro", u"Outubro",  u"Novembro", u"Dezembro"};
constexpr MonthNames kPortugalShortMonths = {u"Jan", u"Fev", u"Mar", u"Abr", u"Mai", u"Jun",
                                             u"Jul", u"Ago", u"Set", u"Out", u"Nov", u"Dez"};

// Swedish
constexpr DayNames kSwedishDays = {u"söndag",  u"måndag", u"tisdag", u"onsdag",
                                   u"torsdag", u"fredag", u"lördag"};
constexpr DayNames kSwedishShortDays = {u"sö", u"må", u"ti", u"on", u"to", u"fr", u"lö"};
constexpr MonthNames kSwedishMonths = {u"januari", u"februari", u"mars",      u"april",
                                       u"maj",     u"juni",     u"juli",      u"augusti",
                                       u"september", u"oktober", u"november", u"december"};
constexpr MonthNames kSwedishShortMonths = {u"jan", u"feb", u"mar", u"apr", u"maj", u"jun",
                                            u"jul", u"aug", u"sep", u"okt", u"nov", u"dec"};

// Danish and Norwegian share their day names
constexpr DayNames kDanishDays = {u"søndag",  u"mandag", u"tirsdag", u"onsdag",
                                  u"torsdag", u"fredag", u"lørdag"};
constexpr DayNames kDanishShortDays = {u"sø", u"ma", u"ti", u"on", u"to", u"fr", u"lø"};
constexpr MonthNames kDanishMonths = {u"januar", u"februar", u"marts",     u"april",
                                      u"maj",    u"juni",    u"juli",      u"august",
                                      u"september", u"oktober", u"november", u"december"};
constexpr MonthNames kDanishShortMonths = {u"jan", u"feb", u"mar", u"apr", u"maj", u"jun",
                                           u"jul", u"aug", u"sep", u"okt", u"nov", u"dec"};
constexpr MonthNames kNorwegianMonths = {u"januar", u"februar", u"mars",      u"april",
                                         u"mai",    u"juni",    u"juli",      u"august",
                                         u"september", u"oktober", u"november", u"desember"};
constexpr MonthNames kNorwegianShortMonths = {u"jan", u"feb", u"mar", u"apr", u"mai", u"jun",
                                              u"jul", u"aug", u"sep", u"okt", u"nov", u"des"};

// Finnish
constexpr DayNames kFinnishDays = {u"sunnuntai", u"maanantai", u"tiistai", u"keskiviikko",
                                   u"torstai",   u"perjantai", u"lauantai"};
constexpr DayNames kFinnishShortDays = {u"su", u"ma", u"ti", u"ke", u"to", u"pe", u"la"};
constexpr MonthNames kFinnishMonths = {u"tammikuu", u"helmikuu", u"maaliskuu", u"huhtikuu",
                                       u"toukokuu", u"kesäkuu",  u"heinäkuu",  u"elokuu",
                                       u"syyskuu",  u"lokakuu",  u"marraskuu", u"joulukuu"};
constexpr MonthNames kFinnishShortMonths = {u"tammi", u"helmi", u"maalis", u"huhti",
                                            u"touko", u"kesä",  u"heinä",  u"elo",
                                            u"syys",  u"loka",  u"marras", u"joulu"};

// Polish
constexpr DayNames kPolishDays = {u"niedziela", u"poniedziałek", u"wtorek", u"środa",
                                  u"czwartek",  u"piątek",       u"sobota"};
constexpr DayNames kPolishShortDays = {u"N", u"Pn", u"Wt", u"Śr", u"Cz", u"Pt", u"So"};
constexpr MonthNames kPolishMonths = {u"styczeń",  u"luty",    u"marzec",      u"kwiecień",
                                      u"maj",      u"czerwiec", u"lipiec",     u"sierpień",
                                      u"wrzesień", u"październik", u"listopad", u"grudzień"};
constexpr MonthNames kPolishShortMonths = {u"sty", u"lut", u"mar", u"kwi", u"maj", u"cze",
                                           u"lip", u"sie", u"wrz", u"paź", u"lis", u"gru"};

// Russian
constexpr DayNames kRussianDays = {u"воскресенье", u"понедельник", u"вторник", u"среда",
                                   u"четверг",     u"пятница",     u"суббота"};
constexpr DayNames kRussianShortDays = {u"Вс", u"Пн", u"Вт", u"Ср", u"Чт", u"Пт", u"Сб"};
constexpr MonthNames kRussianMonths = {u"Январь", u"Февраль", u"Март",     u"Апрель",
                                       u"Май",    u"Июнь",    u"Июль",     u"Август",
                                       u"Сентябрь", u"Октябрь", u"Ноябрь", u"Декабрь"};
constexpr MonthNames kRussianShortMonths = {u"янв", u"фев", u"мар", u"апр", u"май", u"июн",
                                            u"июл", u"авг", u"сен", u"окт", u"ноя", u"дек"};

// Japanese
constexpr DayNames kJapaneseDays = {u"日曜日", u"月曜日", u"火曜日", u"水曜日",
                                    u"木曜日", u"金曜日", u"土曜日"};
constexpr DayNames kJapaneseShortDays = {u"日", u"月", u"火", u"水", u"木", u"金", u"土"};
constexpr MonthNames kJapaneseMonths = {u"1月", u"2月", u"3月", u"4月",  u"5月",  u"6月",
                                        u"7月", u"8月", u"9月", u"10月", u"11月", u"12月"};
constexpr MonthNames kJapaneseShortMonths = {u"1", u"2", u"3", u"4",  u"5",  u"6",
                                             u"7", u"8", u"9", u"10", u"11", u"12"};

// en-US must stay first: it is the fallback for unknown names and the default process locale.
constexpr LocaleInfo kLocales[] = {
    {.lcid = 1033, .name = u"en-US",
     .decimal_separator = u".", .group_separator = u",",
     .grouping = kGroupsOfThree, .grouping_count = kGroupsOfThreeCount,
     .digits = 2, .leading_zero = true, .negative_number = 1,
     .currency_symbol = u"$", .currency_decimal_separator = u".",
     .currency_group_separator = u",", .currency_digits = 2,
     .positive_currency = 0, .negative_currency = 0,
     .short_date = u"M/d/yyyy", .long_date = u"dddd, MMMM dd, yyyy",
     .long_time = u"h:mm:ss tt", .short_time = u"h:mm tt",
     .date_separator = u"/", .time_separator = u":",
     .am_designator = u"AM", .pm_designator = u"PM",
     .day_names = kEnglishDays, .abbreviated_day_names = kEnglishShortDays,
     .month_names = kEnglishMonths, .abbreviated_month_names = kEnglishShortMonths,
     .first_day_of_week = 6},
    {.lcid = 2057, .name = u"en-GB",
     .decimal_separator = u".", .group_separator = u",",
     .grouping = kGroupsOfThree, .grouping_count = kGroupsOfThreeCount,
     .digits = 2, .leading_zero = true, .negative_number = 1,
     .currency_symbol = u"\u00A3", .currency_decimal_separator = u".",
     .currency_group_separator = u",", .currency_digits = 2,
     .positive_currency = 0, .negative_currency = 1,
     .short_date = u"dd/MM/yyyy", .long_date = u"dd MMMM yyyy",
     .long_time = u"HH:mm:ss", .short_time = u"HH:mm",
     .date_separator = u"/", .time_separator = u":",
     .am_designator = u"AM", .pm_designator = u"PM",
     .day_names = kEnglishDays, .abbreviated_day_names = kEnglishShortDays,
     .month_names = kEnglishMonths, .abbreviated_month_names = kEnglishShortMonths,
     .first_day_of_week = 0},
    {.lcid = 1031, .name = u"de-DE",
     .decimal_separator = u",", .group_separator = u".",
     .grouping = kGroupsOfThree, .grouping_count = kGroupsOfThreeCount,
     .digits = 2, .leading_zero = true, .negative_number = 1,
     .currency_symbol = kEuro, .currency_decimal_separator = u",",
     .currency_group_separator = u".", .currency_digits = 2,
     .positive_currency = 3, .negative_currency = 8,
     .short_date = u"dd.MM.yyyy", .long_date = u"dddd, d. MMMM yyyy",
     .long_time = u"HH:mm:ss", .short_time = u"HH:mm",
     .date_separator = u".", .time_separator = u":",
     .am_designator = u"", .pm_designator = u"",
     .day_names = kGermanDays, .abbreviated_day_names = kGermanShortDays,
     .month_names = kGermanMonths, .abbreviated_month_names = kGermanShortMonths,
     .first_day_of_week = 0},
    {.lcid = 1036, .name = u"fr-FR",
     .decimal_separator = u",", .group_separator = kNoBreakSpace,
     .grouping = kGroupsOfThree, .grouping_count = kGroupsOfThreeCount,
     .digits = 2, .leading_zero = true, .negative_number = 1,
     .currency_symbol = kEuro, .currency_decimal_separator = u",",
     .currency_group_separator = kNoBreakSpace, .currency_digits = 2,
     .positive_currency = 3, .negative_currency = 8,
     .short_date = u"dd/MM/yyyy", .long_date = u"dddd d MMMM yyyy",
     .long_time = u"HH:mm:ss", .short_time = u"HH:mm",
     .date_separator = u"/", .time_separator = u":",
     .am_designator = u"", .pm_designator = u"",
     .day_names = kFrenchDays, .abbreviated_day_names = kFrenchShortDays,
     .month_names = kFrenchMonths, .abbreviated_month_names = kFrenchShortMonths,
     .first_day_of_week = 0},
    {.lcid = 1040, .name = u"it-IT",
     .decimal_separator = u",", .group_separator = u".",
     .grouping = kGroupsOfThree, .grouping_count = kGroupsOfThreeCount,
     .digits = 2, .leading_zero = true, .negative_number = 1,
     .currency_symbol = kEuro, .currency_decimal_separator = u",",
     .currency_group_separator = u".", .currency_digits = 2,
     .positive_currency = 2, .negative_currency = 9,
     .short_date = u"dd/MM/yyyy", .long_date = u"dddd d MMMM yyyy",
     .long_time = u"H.mm.ss", .short_time = u"H.mm",
     .date_separator = u"/", .time_separator = u".",
     .am_designator = u"", .pm_designator = u"",
     .day_names = kItalianDays, .abbreviated_day_names = kItalianShortDays,
     .month_names = kItalianMonths, .abbreviated_month_names = kItalianShortMonths,
     .first_day_of_week = 0},
    {.lcid = 3082, .name = u"es-ES",
     .decimal_separator = u",", .group_separator = u".",
     .grouping = kGroupsOfThree, .grouping_count = kGroupsOfThreeCount,
     .digits = 2, .leading_zero = true, .negative_number = 1,
     .currency_symbol = kEuro, .currency_decimal_separator = u",",
     .currency_group_separator = u".", .currency_digits = 2,
     .positive_currency = 3, .negative_currency = 8,
     .short_date = u"dd/MM/yyyy", .long_date = u"dddd, dd' de 'MMMM' de 'yyyy",
     .long_time = u"H:mm:ss", .short_time = u"H:mm",
     .date_separator = u"/", .time_separator = u":",
     .am_designator = u"", .pm_designator = u"",
     .day_names = kSpanishDays, .abbreviated_day_names = kSpanishShortDays,
     .month_names = kSpanishMonths, .abbreviated_month_names = kSpanishShortMonths,
     .first_day_of_week = 0},
    {.lcid = 1043, .name = u"nl-NL",
     .decimal_separator = u",", .group_separator = u".",
     .grouping = kGroupsOfThree, .grouping_count = kGroupsOfThreeCount,
     .digits = 2, .leading_zero = true, .negative_number = 1,
     .currency_symbol = kEuro, .currency_decimal_separator = u",",
     .currency_group_separator = u".", .currency_digits = 2,
     .positive_currency = 2, .negative_currency = 12,
     .short_date = u"d-M-yyyy", .long_date = u"dddd d MMMM yyyy",
     .long_time = u"H:mm:ss", .short_time = u"H:mm",
     .date_separator = u"-", .time_separator = u":",
     .am_designator = u"", .pm_designator = u"",
     .day_names = kDutchDays, .abbreviated_day_names = kDutchShortDays,
     .month_names = kDutchMonths, .abbreviated_month_names = kDutchShortMonths,
     .first_day_of_week = 0},
    {.lcid = 1046, .name = u"pt-BR",
     .decimal_separator = u",", .group_separator = u".",
     .grouping = kGroupsOfThree, .grouping_count = kGroupsOfThreeCount,
     .digits = 2, .leading_zero = true, .negative_number = 1,
     .currency_symbol = u"R$", .currency_decimal_separator = u",",
     .currency_group_separator = u".", .currency_digits = 2,
     .positive_currency = 2, .negative_currency = 9,
     .short_date = u"d/M/yyyy", .long_date = u"dddd, d' de 'MMMM' de 'yyyy",
     .long_time = u"H:mm:ss", .short_time = u"H:mm",
     .date_separator = u"/", .time_separator = u":",
     .am_designator = u"", .pm_designator = u"",
     .day_names = kPortugueseDays, .abbreviated_day_names = kPortugueseShortDays,
     .month_names = kBrazilianMonths, .abbreviated_month_names = kBrazilianShortMonths,
     .first_day_of_week = 6},
    {.lcid = 2070, .name = u"pt-PT",
     .decimal_separator = u",", .group_separator = u".",
     .grouping = kGroupsOfThree, .grouping_count = kGroupsOfThreeCount,
     .digits = 2, .leading_zero = true, .negative_number = 1,
     .currency_symbol = kEuro, .currency_decimal_separator = u",",
     .currency_group_separator = u".", .currency_digits = 2,
     .positive_currency = 3, .negative_currency = 8,
     .short_date = u"dd-MM-yyyy", .long_date = u"dddd, d' de 'MMMM' de 'yyyy",
     .long_time = u"H:mm:ss", .short_time = u"H:mm",
     .date_separator = u"-", .time_separator = u":",
     .am_designator = u"", .pm_designator = u"",
     .day_names = kPortugueseDays, .abbreviated_day_names = kPortugueseShortDays,
     .month_names = kPortugalMonths, .abbreviated_month_names = kPortugalShortMonths,
     .first_day_of_week = 0},
    {.lcid = 3079, .name = u"de-AT",
     .decimal_separator = u",", .group_separator = u".",
     .grouping = kGroupsOfThree, .grouping_count = kGroupsOfThreeCount,
     .digits = 2, .leading_zero = true, .negative_number = 1,
     .currency_symbol = kEuro, .currency_decimal_separator = u",",
     .currency_group_separator = u".", .currency_digits = 2,
     .positive_currency = 2, .negative_currency = 9,
     .short_date = u"dd.MM.yyyy", .long_date = u"dddd, dd. MMMM yyyy",
     .long_time = u"HH:mm:ss", .short_time = u"HH:mm",
     .date_separator = u".", .time_separator = u":",
     .am_designator = u"", .pm_designator = u"",
     .day_names = kGermanDays, .abbreviated_day_names = kGermanShortDays,
     .month_names = kAustrianMonths, .abbreviated_month_names = kAustrianShortMonths,
     .first_day_of_week = 0},
    {.lcid = 2055, .name = u"de-CH",
     .decimal_separator = u".", .group_separator = u"'",
     .grouping = kGroupsOfThree, .grouping_count = kGroupsOfThreeCount,
     .digits = 2, .leading_zero = true, .negative_number = 1,
     .currency_symbol = u"SFr.", .currency_decimal_separator = u".",
     .currency_group_separator = u"'", .currency_digits = 2,
     .positive_currency = 2, .negative_currency = 2,
     .short_date = u"dd.MM.yyyy", .long_date = u"dddd, d. MMMM yyyy",
     .long_time = u"HH:mm:ss", .short_time = u"HH:mm",
     .date_separator = u".", .time_separator = u":",
     .am_designator = u"", .pm_designator = u"",
     .day_names = kGermanDays, .abbreviated_day_names = kGermanShortDays,
     .month_names = kGermanMonths, .abbreviated_month_names = kGermanShortMonths,
     .first_day_of_week = 0},
    {.lcid = 4105, .name = u"en-CA",
     .decimal_separator = u".", .group_separator = u",",
     .grouping = kGroupsOfThree, .grouping_count = kGroupsOfThreeCount,
     .digits = 2, .leading_zero = true, .negative_number = 1,
     .currency_symbol = u"$", .currency_decimal_separator = u".",
     .currency_group_separator = u",", .currency_digits = 2,
     .positive_currency = 0, .negative_currency = 1,
     .short_date = u"dd/MM/yyyy", .long_date = u"MMMM d, yyyy",
     .long_time = u"h:mm:ss tt", .short_time = u"h:mm tt",
     .date_separator = u"/", .time_separator = u":",
     .am_designator = u"AM", .pm_designator = u"PM",
     .day_names = kEnglishDays, .abbreviated_day_names = kEnglishShortDays,
     .month_names = kEnglishMonths, .abbreviated_month_names = kEnglishShortMonths,
     .first_day_of_week = 6},
    {.lcid = 3081, .name = u"en-AU",
     .decimal_separator = u".", .group_separator = u",",
     .grouping = kGroupsOfThree, .grouping_count = kGroupsOfThreeCount,
     .digits = 2, .leading_zero = true, .negative_number = 1,
     .currency_symbol = u"$", .currency_decimal_separator = u".",
     .currency_group_separator = u",", .currency_digits = 2,
     .positive_currency = 0, .negative_currency = 1,
     .short_date = u"d/MM/yyyy", .long_date = u"dddd, d MMMM yyyy",
     .long_time = u"h:mm:ss tt", .short_time = u"h:mm tt",
     .date_separator = u"/", .time_separator = u":",
     .am_designator = u"AM", .pm_designator = u"PM",
     .day_names = kEnglishDays, .abbreviated_day_names = kEnglishShortDays,
     .month_names = kEnglishMonths, .abbreviated_month_names = kEnglishShortMonths,
     .first_day_of_week = 0},
    // Sweden separates thousands of money with a dot but plain numbers with a space.
    {.lcid = 1053, .name = u"sv-SE",
     .decimal_separator = u",", .group_separator = kNoBreakSpace,
     .grouping = kGroupsOfThree, .grouping_count = kGroupsOfThreeCount,
     .digits = 2, .leading_zero = true, .negative_number = 1,
     .currency_symbol = u"kr", .currency_decimal_separator = u",",
     .currency_group_separator = u".", .currency_digits = 2,
     .positive_currency = 3, .negative_currency = 8,
     .short_date = u"yyyy-MM-dd", .long_date = u"'den 'd MMMM yyyy",
     .long_time = u"HH:mm:ss", .short_time = u"HH:mm",
     .date_separator = u"-", .time_separator = u":",
     .am_designator = u"", .pm_designator = u"",
     .day_names = kSwedishDays, .abbreviated_day_names = kSwedishShortDays,
     .month_names = kSwedishMonths, .abbreviated_month_names = kSwedishShortMonths,
     .first_day_of_week = 0},
    {.lcid = 1030, .name = u"da-DK",
     .decimal_separator = u",", .group_separator = u".",
     .grouping = kGroupsOfThree, .grouping_count = kGroupsOfThreeCount,
     .digits = 2, .leading_zero = true, .negative_number = 1,
     .currency_symbol = u"kr", .currency_decimal_separator = u",",
     .currency_group_separator = u".", .currency_digits = 2,
     .positive_currency = 2, .negative_currency = 12,
     .short_date = u"dd-MM-yyyy", .long_date = u"d. MMMM yyyy",
     .long_time = u"HH:mm:ss", .short_time = u"HH:mm",
     .date_separator = u"-", .time_separator = u":",
     .am_designator = u"", .pm_designator = u"",
     .day_names = kDanishDays, .abbreviated_day_names = kDanishShortDays,
     .month_names = kDanishMonths, .abbreviated_month_names = kDanishShortMonths,
     .first_day_of_week = 0},
    {.lcid = 1044, .name = u"nb-NO",
     .decimal_separator = u",", .group_separator = kNoBreakSpace,
     .grouping = kGroupsOfThree, .grouping_count = kGroupsOfThreeCount,
     .digits = 2, .leading_zero = true, .negative_number = 1,
     .currency_symbol = u"kr", .currency_decimal_separator = u",",
     .currency_group_separator = kNoBreakSpace, .currency_digits = 2,
     .positive_currency = 2, .negative_currency = 12,
     .short_date = u"dd.MM.yyyy", .long_date = u"d. MMMM yyyy",
     .long_time = u"HH:mm:ss", .short_time = u"HH:mm",
     .date_separator = u".", .time_separator = u":",
     .am_designator = u"", .pm_designator = u"",
     .day_names = kDanishDays, .abbreviated_day_names = kDanishShortDays,
     .month_names = kNorwegianMonths, .abbreviated_month_names = kNorwegianShortMonths,
     .first_day_of_week = 0},
    {.lcid = 1035, .name = u"fi-FI",
     .decimal_separator = u",", .group_separator = kNoBreakSpace,
     .grouping = kGroupsOfThree, .grouping_count = kGroupsOfThreeCount,
     .digits = 2, .leading_zero = true, .negative_number = 1,
     .currency_symbol = kEuro, .currency_decimal_separator = u",",
     .currency_group_separator = kNoBreakSpace, .currency_digits = 2,
     .positive_currency = 3, .negative_currency = 8,
     .short_date = u"d.M.yyyy", .long_date = u"d. MMMM'ta 'yyyy",
     .long_time = u"H:mm:ss", .short_time = u"H:mm",
     .date_separator = u".", .time_separator = u":",
     .am_designator = u"", .pm_designator = u"",
     .day_names = kFinnishDays, .abbreviated_day_names = kFinnishShortDays,
     .month_names = kFinnishMonths, .abbreviated_month_names = kFinnishShortMonths,
     .first_day_of_week = 0},
    {.lcid = 1045, .name = u"pl-PL",
     .decimal_separator = u",", .group_separator = kNoBreakSpace,
     .grouping = kGroupsOfThree, .grouping_count = kGroupsOfThreeCount,
     .digits = 2, .leading_zero = true, .negative_number = 1,
     .currency_symbol = u"zł", .currency_decimal_separator = u",",
     .currency_group_separator = kNoBreakSpace, .currency_digits = 2,
     .positive_currency = 3, .negative_currency = 8,
     .short_date = u"yyyy-MM-dd", .long_date = u"d MMMM yyyy",
     .long_time = u"HH:mm:ss", .short_time = u"HH:mm",
     .date_separator = u"-", .time_separator = u":",
     .am_designator = u"", .pm_designator = u"",
     .day_names = kPolishDays, .abbreviated_day_names = kPolishShortDays,
     .month_names = kPolishMonths, .abbreviated_month_names = kPolishShortMonths,
     .first_day_of_week = 0},
    {.lcid = 1049, .name = u"ru-RU",
     .decimal_separator = u",", .group_separator = kNoBreakSpace,
     .grouping = kGroupsOfThree, .grouping_count = kGroupsOfThreeCount,
     .digits = 2, .leading_zero = true, .negative_number = 1,
     .currency_symbol = u"р.", .currency_decimal_separator = u",",
     .currency_group_separator = kNoBreakSpace, .currency_digits = 2,
     .positive_currency = 1, .negative_currency = 5,
     .short_date = u"dd.MM.yyyy", .long_date = u"d MMMM yyyy 'г.'",
     .long_time = u"H:mm:ss", .short_time = u"H:mm",
     .date_separator = u".", .time_separator = u":",
     .am_designator = u"", .pm_designator = u"",
     .day_names = kRussianDays, .abbreviated_day_names = kRussianShortDays,
     .month_names = kRussianMonths, .abbreviated_month_names = kRussianShortMonths,
     .first_day_of_week = 0},
    // The yen has no minor unit, so currency shows no decimals by default.
    {.lcid = 1041, .name = u"ja-JP",
     .decimal_separator = u".", .group_separator = u",",
     .grouping = kGroupsOfThree, .grouping_count = kGroupsOfThreeCount,
     .digits = 2, .leading_zero = true, .negative_number = 1,
     .currency_symbol = u"\u00A5", .currency_decimal_separator = u".",
     .currency_group_separator = u",", .currency_digits = 0,
     .positive_currency = 0, .negative_currency = 1,
     .short_date = u"yyyy/MM/dd", .long_date = u"yyyy'年'M'月'd'日'",
     .long_time = u"H:mm:ss", .short_time = u"H:mm",
     .date_separator = u"/", .time_separator = u":",
     .am_designator = u"午前", .pm_designator = u"午後",
     .day_names = kJapaneseDays, .abbreviated_day_names = kJapaneseShortDays,
     .month_names = kJapaneseMonths, .abbreviated_month_names = kJapaneseShortMonths,
     .first_day_of_week = 6},
};

}  // namespace

std::span<const LocaleInfo> LocaleTable() { return kLocales; }
