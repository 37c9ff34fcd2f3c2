// The VIES declaration's page: its captions and the two tables, each as wide as the journals.
#include "journals/JournalTable.h"
#include "text/Encoding.h"
#include "text/Errors.h"
#include "vies/Vies.h"

#include <string>
#include <vector>

namespace orva {

namespace {

// A table's heading: the bar, each caption line cut into its cells, the bar.
ViesTable viesTable(std::vector<std::size_t> widths, std::vector<std::vector<const char*>> captions) {
    ViesTable table;
    table.widths = std::move(widths);
    table.heading.push_back(journal_table::barLine());
    for (const std::vector<const char*>& caption : captions) {
        std::string line = "|";
        for (std::size_t k = 0; k < table.widths.size(); ++k) {
            std::string cell = utf8ToWin1251(caption[k]);
            cell.resize(table.widths[k], ' ');
            line += cell + "|";
        }
        table.heading.push_back(line);
    }
    table.heading.push_back(journal_table::barLine());
    return table;
}

ViesLayout makeViesLayout() {
    ViesLayout layout;
    layout.titlePrefix = utf8ToWin1251("ВИЕС ДЕКЛАРАЦИЯ     ");
    // 7 + 18 + 3 × 25 + 10 and seven bars: 117.
    layout.lines =
        viesTable({7, 18, 25, 25, 25, 10},
                  {{" пор.", " ИН по ДДС на", " к3 ВОД на стоки", " к4 доставки при", " к5 услуги по", " к6 период"},
                   {"  N", " контрагента", "", " тристранни операции", " чл.21, ал.2 от ЗДДС", " корекция"}});
    // 7 + 30 + 20 + 30 + 24 and six bars: 117.
    layout.callOff =
        viesTable({7, 30, 20, 30, 24},
                  {{" пор.", " ИН по ДДС на получателя", " код на операцията", " ИН по ДДС на заместващото", " период"},
                   {"  N", "", "", " лице", ""}});
    layout.personAddress = utf8ToWin1251("Адрес на лицето: ");
    layout.declarant = utf8ToWin1251("Подава: ");
    layout.declarantAddress = utf8ToWin1251("Адрес на подаващия: ");
    layout.roleAuthorised = utf8ToWin1251("пълномощник");
    layout.roleRepresentative = utf8ToWin1251("представляващ");
    layout.count = utf8ToWin1251("Брой записи VIR по VHR: ");
    layout.countRead = utf8ToWin1251(", прочетени във файла: ");
    layout.total = utf8ToWin1251("ОБЩО");
    layout.fileTotals = utf8ToWin1251("Запис TTR: обща сума к3+к4+к5 ");
    layout.fileGoods = utf8ToWin1251(", сума к3 ");
    layout.noFileTotals = utf8ToWin1251("Запис TTR: няма");
    layout.callOffTitle = utf8ToWin1251("СКЛАДИРАНЕ НА РАЗПОЛОЖЕНИЕ (CHR/COS), брой записи COS по CHR: ");
    return layout;
}

// Every table line fills the journals' width.
bool fillsTheWidth(const ViesTable& table) {
    std::size_t width = table.widths.size() + 1;
    for (std::size_t cell : table.widths)
        width += cell;
    return width == journal_table::kWidth;
}

} // namespace

const ViesLayout& viesLayout() {
    static const ViesLayout layout = [] {
        ViesLayout made = makeViesLayout();
        if (!fillsTheWidth(made.lines) || !fillsTheWidth(made.callOff))
            throw Error("VIES: таблица, по-широка или по-тясна от 117 знака");
        return made;
    }();
    return layout;
}

} // namespace orva
