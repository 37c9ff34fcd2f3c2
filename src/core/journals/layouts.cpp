// The two parameter sets of the journal engine: the purchases and the sales journal.
#include "journals/Journal.h"

#include "journals/JournalTable.h"
#include "text/Encoding.h"

#include <iterator>

namespace orva {

namespace {

// Purchases: seven amounts of 15 on one line; sales: seventeen of the rightmost 12, on two lines.
constexpr std::size_t kPurchasesAmountWidth = 15;
constexpr AmountLine kPurchasesAmountLines[] = {{7, 10}};
constexpr std::size_t kSalesAmountWidth = 12;
constexpr AmountLine kSalesAmountLines[] = {{8, 19}, {9, 7}};

// Every amount line, and the totals line of its shape, is exactly as wide as the table.
template <std::size_t N> constexpr bool linesFillTheTable(const AmountLine (&lines)[N], std::size_t amountWidth) {
    for (const AmountLine& line : lines)
        if (line.amounts * amountWidth + line.blanks + 2 != journal_table::kWidth)
            return false;
    return true;
}
static_assert(linesFillTheTable(kPurchasesAmountLines, kPurchasesAmountWidth));
static_assert(linesFillTheTable(kSalesAmountLines, kSalesAmountWidth));
// Every amount of the record has its cell.
template <std::size_t N> constexpr std::size_t amountsOn(const AmountLine (&lines)[N]) {
    std::size_t count = 0;
    for (const AmountLine& line : lines)
        count += line.amounts;
    return count;
}
static_assert(amountsOn(kPurchasesAmountLines) == kPurchasesRecord.amountCount);
static_assert(amountsOn(kSalesAmountLines) == kSalesRecord.amountCount);
static_assert(kPurchasesAmountWidth <= journal_table::kAmountFieldWidth &&
              kSalesAmountWidth <= journal_table::kAmountFieldWidth);

// The identity part of the header is the same in both journals.
struct IdentityHeader {
    std::string headings1, headings2, columnNumbers, continuationColumnNumbers;
};

const IdentityHeader& identityHeader() {
    static const IdentityHeader header{
        utf8ToWin1251("|      |    |вид|номер на           | дата на   |ИН на          |име на                         "
                      "|вид на стоката     |"),
        utf8ToWin1251("| пор.N|клон|док|документа          | документа |контрагента    |контрагента                    "
                      "|или услугата       |"),
        "| -1-  |-2- |-3-|-4-                |-5-        |-6-            |-7-                            "
        "|-8-                |",
        "|-1-  |-2- |-3-|-4-                 |-5-        |-6-           |-7-                             "
        "|-8-                |",
    };
    return header;
}

// Lines 3 to 8 of both first-page headers.
std::vector<std::string> identityLines() {
    const IdentityHeader& identity = identityHeader();
    return {journal_table::barLine(), identity.headings1,     identity.headings2,
            journal_table::barLine(), identity.columnNumbers, journal_table::barLine()};
}

JournalLayout makePurchasesLayout(Wording wording) {
    const IdentityHeader& identity = identityHeader();
    const bool today = wording == Wording::Today;
    // Today's wording names column 8а in the cell the classic header leaves blank (FORMATS §8).
    const std::string amountNumbers = std::string("|-9-           |-10-          |-11-          |-12-          "
                                                  "|-13-          |-14-          |-15-          |") +
                                      (today ? utf8ToWin1251("-8а-      |") : "          |");
    auto headings = [&](const char* classic, const char* code) {
        return utf8ToWin1251(std::string(classic) + (today ? code : "          |"));
    };
    JournalLayout layout;
    layout.kind = JournalKind::Purchases;
    layout.fileName = "pokupki.txt";
    layout.titlePrefix = utf8ToWin1251("ДНЕВНИК НА ПОКУПКИТЕ     ");
    layout.firstPageLines = identityLines();
    layout.firstPageLines.insert(
        layout.firstPageLines.end(),
        {
            headings("| ДО и ДДС на  | ДО на пол.   | ДДС на пол.  | ДО на пол.   | ДДС на пол.  | Год.кор.по   "
                     "| ДО при придоб|",
                     "дост.по   |"),
            headings("| пол.дост.    | доставки с   | доставки с   | доставки с   | доставки с   | чл73 ал8 и   "
                     "| стоки при    |",
                     "чл.163а,  |"),
            headings("| без право    | право на     | право на     | право на     | право на     | чл147 ал3    "
                     "| тристранна   |",
                     "внос по   |"),
            headings("| на ДК        | пълен ДК     | пълен ДК     | частичен ДК  | частичен ДК  | по ЗДДС      "
                     "| операция     |",
                     "чл.167а   |"),
            journal_table::barLine(),
            amountNumbers,
            journal_table::barLine(),
        });
    layout.continuationLines = {journal_table::dashLine(), identity.continuationColumnNumbers, amountNumbers,
                                journal_table::dashLine()};
    layout.amountWidth = kPurchasesAmountWidth;
    layout.amountLines.assign(std::begin(kPurchasesAmountLines), std::end(kPurchasesAmountLines));
    layout.showsCode = today;
    layout.codeIndent = 4;
    return layout;
}

JournalLayout makeSalesLayout(Wording wording) {
    const IdentityHeader& identity = identityHeader();
    const bool today = wording == Wording::Today;
    const std::string amountNumbers1 = "|-9-        |-10-       |-11-       |-12-       |-13-       |-14-       "
                                       "|-15-       |-16-       |                   |";
    const std::string amountNumbers2 = std::string("|-17-       |-18-       |-19-       |-20-       |-21-       "
                                                   "|-22-       |-23-       |-24-       |-25-       |") +
                                       (today ? utf8ToWin1251("-8а-   |") : "       |");
    // Columns 16 to 18 and 22, 23 and 8а reworded since the classic form (FORMATS §8).
    auto line = [&](const char* classic, const char* current) { return utf8ToWin1251(today ? current : classic); };
    JournalLayout layout;
    layout.kind = JournalKind::Sales;
    layout.fileName = "prodagbi.txt";
    layout.titlePrefix = utf8ToWin1251("ДНЕВНИК НА ПРОДАЖБИТЕ     ");
    layout.firstPageLines = identityLines();
    // clang-format off
    layout.firstPageLines.insert(
        layout.firstPageLines.end(),
        {
            line("|общ размер |всичко     |ДО на обл. |начислен   |ДО на ВОП  |ДО на дост.|ДДС за ВОП |нач.данък  |                   |",
                 "|общ размер |всичко     |ДО на обл. |начислен   |ДО на ВОП  |ДО на дост.|ДДС за ВОП |нач.ДДС за |                   |"),
            line("|на ДО за   |начислен   |сделки със |ДДС        |           |по чл.82   |и дост.по  |20% в др.  |                   |",
                 "|на ДО за   |начислен   |сделки със |ДДС        |           |по чл.82   |и дост.по  |доставки за|                   |"),
            line("|облагане с |ДДС        |ставка 20% |ставка 20% |           |ал.2-5 от  |чл.82ал.2-5|случаи пр. |                   |",
                 "|облагане с |ДДС        |ставка 20% |ставка 20% |           |ал.2-5 от  |чл.82ал.2-5|лични      |                   |"),
            line("|ДДС        |           |           |           |           |ЗДДС       |от ЗДДС    |в ЗДДС     |                   |",
                 "|ДДС        |           |           |           |           |ЗДДС       |от ЗДДС    |нужди      |                   |"),
            journal_table::barLine(),
            amountNumbers1,
            journal_table::barLine(),
            line("|ДО на обл. |начислен   |ДО на дост.|ДО на дост.|ДО на дост.|ДО на дост.|ДО на дост.|ДО на осв. |ДО на дост.|       |",
                 "|ДО на обл. |начислен   |ДО на дост.|ДО на дост.|ДО на дост.|ДО на дост.|ДО на дост.|ДО на осв. |ДО на дост.|дост.по|"),
            line("|сделки със |ДДС        |ставка 0%  |ставка 0%  |чл140,чл146|чл12 ал3 и |чл69 ал3 от|дост. и    |като поср. |       |",
                 "|сделки със |ДДС        |ставка 0%  |ставка 0%  |чл140,чл146|по чл.21   |чл69 ал2 от|дост. и    |като поср. |чл.163а|"),
            line("|ставка 7%  |ставка 7%  |по гл.3 от |на ВОД     |ал1,чл173, |чл22-24 от |ЗДДС вкл.ДО|осв.ВОП    |в тристр.  |       |",
                 "|ставка 9%  |ставка 9%  |по гл.3 от |на ВОД     |ал1,чл173, |ал.2 от    |ЗДДС вкл.ДО|осв.ВОП    |в тристр.  |внос по|"),
            line("|           |           |ЗДДС       |на стоки   |ал1,4 ЗДДС |ЗДДС       |при усл.ДП |           |операции   |       |",
                 "|           |           |ЗДДС       |на стоки   |ал1,4 ЗДДС |ЗДДС       |при усл.ДП |           |операции   |чл.167а|"),
            journal_table::barLine(),
            amountNumbers2,
            journal_table::barLine(),
        });
    // clang-format on
    layout.continuationLines = {journal_table::dashLine(), identity.continuationColumnNumbers, amountNumbers1,
                                amountNumbers2, journal_table::dashLine()};
    layout.amountWidth = kSalesAmountWidth;
    layout.amountLines.assign(std::begin(kSalesAmountLines), std::end(kSalesAmountLines));
    layout.showsCode = today;
    layout.codeIndent = 2;
    return layout;
}

} // namespace

const JournalLayout& purchasesLayout(Wording wording) {
    static const JournalLayout layouts[] = {makePurchasesLayout(Wording::Classic), makePurchasesLayout(Wording::Today)};
    return layouts[wording == Wording::Today];
}

const JournalLayout& salesLayout(Wording wording) {
    static const JournalLayout layouts[] = {makeSalesLayout(Wording::Classic), makeSalesLayout(Wording::Today)};
    return layouts[wording == Wording::Today];
}

const JournalLayout& journalLayout(JournalKind kind, Wording wording) {
    return kind == JournalKind::Purchases ? purchasesLayout(wording) : salesLayout(wording);
}

} // namespace orva
