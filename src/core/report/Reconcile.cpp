#include "report/Reconcile.h"

#include "check/Identifiers.h"
#include "journals/RecordLayout.h"
#include "text/Calendar.h"
#include "text/Encoding.h"
#include "text/ExactDecimal.h"
#include "text/LineFile.h"
#include "text/Mik.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <optional>
#include <sys/mman.h>

namespace orva::report {

namespace {

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

bool allDigits(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A record's field by the layout, cut short where the record is.
std::string_view field(std::string_view record, std::size_t index) {
    const RecordField& f = kPurchaseFields[index];
    if (record.size() < f.start)
        return {};
    return record.substr(f.start - 1, f.width);
}

// dd-mm-yyyy of the report, dd/mm/yyyy or dd.mm.yyyy of the journals, as yyyymmdd; 0 when no date.
std::int32_t dateNumber(std::string_view text) {
    text = trimmed(text);
    if (text.size() != 10)
        return 0;
    char written[10];
    std::replace_copy(text.begin(), text.end(), written, '-', '/');
    const std::optional<CalendarDate> date =
        parseDate(std::string_view(written, sizeof written), DateSeparators::SlashesOrDots);
    return date ? date->year * 10000 + date->month * 100 + date->day : 0;
}

// The document type as a number ("1" and "01" alike); 0 when it is none.
std::uint8_t typeNumber(std::string_view text) {
    text = trimmed(text);
    if (!allDigits(text) || text.size() > 3)
        return 0;
    int value = 0;
    for (const char c : text)
        value = value * 10 + (c - '0');
    return value > 0 && value < 256 ? static_cast<std::uint8_t>(value) : 0;
}

ExactDecimal amount(std::string_view text) {
    if (trimmed(text).empty())
        return {};
    return ExactDecimal::parse(text).value_or(ExactDecimal{});
}

// Whole cents fitting 64 bits, else std::nullopt (the value is then read again when compared).
std::optional<std::int64_t> cents(const ExactDecimal& value) {
    if (value != value.roundedToCents() || !value.fitsMoneyFormat())
        return std::nullopt;
    std::string text = value.moneyText();
    if (text.size() > 18)
        return std::nullopt;
    text.erase(std::remove(text.begin(), text.end(), '.'), text.end());
    return std::stoll(text);
}

// Money as the journals write it; an amount finer than a cent with every digit, as it was compared.
std::string shown(const ExactDecimal& value) {
    if (!value.fitsMoneyFormat())
        return "?";
    return value == value.roundedToCents() ? value.moneyText() : value.exactText();
}

std::string utf8(std::string_view windows1251) {
    return shownText(win1251ToUtf8(trimmed(windows1251)));
}

// utf8() into a string kept from record to record: no string made anew.
void utf8Into(std::string& out, std::string_view windows1251) {
    const std::string_view text = trimmed(windows1251);
    const bool control =
        std::any_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
    if (control) {
        out = utf8(text); // shown escaped, the rare way
        return;
    }
    out.clear();
    appendWin1251AsUtf8(out, text);
}

void clear(Item& item) {
    item.itemClass = ItemClass::Agrees;
    item.supplier.clear();
    item.number.clear();
    item.type.clear();
    item.date.clear();
    item.name.clear();
    item.journalLine = 0;
    item.reportFile.clear();
    item.reportLine = 0;
    item.differences.clear();
    item.notCompared = false;
    item.journalAmounts.clear();
    item.reportAmounts.clear();
    item.note.clear();
}

} // namespace

const char* className(ItemClass itemClass) {
    switch (itemClass) {
    case ItemClass::Agrees:
        return "съвпада";
    case ItemClass::Missing:
        return "липсва в дневника";
    case ItemClass::NotDeclared:
        return "не е деклариран";
    case ItemClass::NotExpected:
        return "не се очаква в справката";
    case ItemClass::Different:
        return "различен";
    }
    return "";
}

const char* classCode(ItemClass itemClass) {
    switch (itemClass) {
    case ItemClass::Agrees:
        return "agrees";
    case ItemClass::Missing:
        return "missing";
    case ItemClass::NotDeclared:
        return "not-declared";
    case ItemClass::NotExpected:
        return "not-expected";
    case ItemClass::Different:
        return "different";
    }
    return "";
}

std::string documentKey(std::string_view supplier, std::string_view number) {
    std::string key;
    documentKeyInto(key, supplier, number);
    return key;
}

void documentKeyInto(std::string& key, std::string_view supplier, std::string_view number) {
    key.clear();
    for (const char c : supplier) {
        if (c != ' ' && c != '\t')
            key += c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
    }
    key += '\x1F';
    bool leading = true;
    for (const char c : number) {
        if (c == ' ' || c == '\t' || (leading && c == '0'))
            continue;
        leading = false;
        key += c;
    }
}

std::vector<std::string> reportRefusals(const std::string& path, const ReportTitle& title, std::string_view vatNumber,
                                        std::string_view period) {
    std::vector<std::string> refusals;
    std::string_view own = trimmed(vatNumber);
    if (own.size() > 2 && own.substr(0, 2) == "BG")
        own.remove_prefix(2);
    if (own != trimmed(title.buyerId))
        refusals.push_back(path + ": справката е за друг получател (" + utf8(title.buyerName) + ", " +
                           utf8(title.buyerId) + "), не за " + utf8(vatNumber));
    if (title.period > std::string(trimmed(period)))
        refusals.push_back(path + ": справката е за период " + utf8(title.period) + ", по-късен от периода " +
                           utf8(period));
    return refusals;
}

std::vector<FoundReport> reportsInFolder(const std::string& folder, std::string_view vatNumber) {
    std::vector<FoundReport> found;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        std::string name = entry.path().filename().string();
        std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
        if (name.size() < 4 || name.compare(name.size() - 4, 4, ".csv") != 0)
            continue;
        const std::string path = entry.path().string();
        std::string first;
        try {
            readFileChunks(path, 64 * 1024, [&](std::string_view chunk) {
                first.append(chunk);
                return first.find_first_of("\r\n") == std::string::npos && first.size() < 64 * 1024;
            });
        } catch (const Error&) {
            continue; // not readable: not offered
        }
        ReportTitle title;
        if (!parseTitle(first.substr(0, first.find_first_of("\r\n")), title))
            continue;
        if (!reportRefusals(path, title, vatNumber, "999999").empty())
            continue; // another firm's
        found.push_back(FoundReport{path, title});
    }
    std::sort(found.begin(), found.end(), [](const FoundReport& a, const FoundReport& b) { return a.path < b.path; });
    return found;
}

namespace {

// Pads UTF-8 text to `width` characters.
std::string column(const std::string& text, std::size_t width) {
    const auto characters = static_cast<std::size_t>(
        std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
    return characters >= width ? text : text + std::string(width - characters, ' ');
}

} // namespace

std::string itemDetails(const Item& item, bool places) {
    std::string text;
    auto add = [&text](const std::string& part) { text += (text.empty() ? "" : "; ") + part; };
    if (places && item.journalLine != 0)
        add("дневник: запис " + std::to_string(item.journalLine));
    if (places && item.reportLine != 0)
        add("справка: ред " + std::to_string(item.reportLine));
    for (const Difference& difference : item.differences)
        add(difference.what + ": дневник " + difference.journal + ", справка " + difference.report +
            (difference.delta.empty() ? std::string() : ", разлика " + difference.delta));
    if (item.notCompared)
        add("сумите не са сравнени: дневник " + item.journalAmounts + "; справка " + item.reportAmounts);
    else if (item.itemClass == ItemClass::Missing)
        add(item.reportAmounts);
    if (!item.note.empty())
        add(item.note);
    return text;
}

std::string itemText(const Item& item) {
    return column(item.supplier, 15) + " " + column(item.number, 20) + " " + column(item.type, 2) + " " +
           column(item.date, 10) + "  " + itemDetails(item);
}

Reconciler::Reconciler(std::string period, ItemSink onItem) : period_(std::move(period)), onItem_(std::move(onItem)) {}

namespace {

constexpr std::size_t kChainBytes = 12; // a chain's three 32-bit numbers

// The tables of tens of megabytes that every line looks up at random: on huge pages where the system
// grants them on request, so that a lookup does not miss the address's translation as well as its data.
// Only the whole huge pages inside the block, before its pages are first touched.
void preferHugePages(const void* data, std::size_t bytes) {
    constexpr std::uintptr_t kHuge = std::uintptr_t{2} << 20;
    const auto start = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t begin = (start + kHuge - 1) & ~(kHuge - 1);
    const std::uintptr_t end = (start + bytes) & ~(kHuge - 1);
    if (end > begin)
        ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE); // a hint: refused is fine
}
constexpr std::uint64_t kWhereBits = 40;
constexpr std::uint64_t kWhereMask = (std::uint64_t{1} << kWhereBits) - 1;

std::uint32_t number32(const char* at) {
    std::uint32_t value = 0;
    std::memcpy(&value, at, sizeof value);
    return value;
}

} // namespace

void Reconciler::KeyTable::reserve(std::size_t bytes) {
    bytes_.reserve(bytes);
    preferHugePages(bytes_.data(), bytes_.capacity());
}

Reconciler::KeyTable::Chain Reconciler::KeyTable::chain(std::uint64_t at) const {
    static_assert(sizeof(Chain) == kChainBytes, "a chain is held as its bytes");
    Chain chain;
    std::memcpy(&chain, bytes_.data() + at, kChainBytes);
    return chain;
}

void Reconciler::KeyTable::setChain(std::uint64_t at, const Chain& chain) {
    std::memcpy(bytes_.data() + at, &chain, kChainBytes);
}

std::size_t Reconciler::KeyTable::slotOf(std::string_view key, std::uint64_t hash) const {
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t slot = hash & mask;; slot = (slot + 1) & mask) {
        const std::uint64_t held = slots_[slot];
        if (held == 0)
            return slot;
        if ((held >> kWhereBits) == (hash >> kWhereBits)) {
            const char* const at = bytes_.data() + (held & kWhereMask) - 1;
            const std::uint32_t size = number32(at + kChainBytes);
            if (size == key.size() && std::memcmp(at + kChainBytes + 4, key.data(), size) == 0)
                return slot;
        }
    }
}

void Reconciler::KeyTable::grow() {
    const std::size_t size = std::max<std::size_t>(slots_.size() * 2, 1024);
    std::vector<std::uint64_t> slots;
    slots.reserve(size);
    preferHugePages(slots.data(), size * sizeof(std::uint64_t));
    slots.resize(size);
    const std::size_t mask = slots.size() - 1;
    for (std::size_t at = 0; at < bytes_.size();) {
        const std::uint32_t size = number32(bytes_.data() + at + kChainBytes);
        const std::string_view key(bytes_.data() + at + kChainBytes + 4, size);
        const std::uint64_t hash = hashOf(key);
        std::size_t slot = hash & mask;
        while (slots[slot] != 0)
            slot = (slot + 1) & mask;
        slots[slot] = (hash & ~kWhereMask) | (at + 1);
        at += kChainBytes + 4 + size;
    }
    slots_ = std::move(slots);
}

std::uint64_t Reconciler::KeyTable::hashOf(std::string_view key) {
    return std::hash<std::string_view>()(key);
}

void Reconciler::KeyTable::prefetch(std::uint64_t hash) const {
    if (!slots_.empty())
        __builtin_prefetch(&slots_[hash & (slots_.size() - 1)]);
}

std::uint64_t Reconciler::KeyTable::insert(std::string_view key, std::uint64_t hash) {
    // At most half full: a probe ends after a slot or two.
    if ((keys_ + 1) * 2 > slots_.size())
        grow();
    const std::size_t slot = slotOf(key, hash);
    if (slots_[slot] != 0)
        return (slots_[slot] & kWhereMask) - 1;
    const std::uint64_t at = bytes_.size();
    if (at + 1 > kWhereMask)
        throw Error("справките са твърде големи за сравнение");
    const Chain empty;
    const auto size = static_cast<std::uint32_t>(key.size());
    bytes_.append(reinterpret_cast<const char*>(&empty), kChainBytes);
    bytes_.append(reinterpret_cast<const char*>(&size), sizeof size);
    bytes_.append(key);
    ++keys_;
    slots_[slot] = (hash & ~kWhereMask) | (at + 1);
    return at;
}

std::uint64_t Reconciler::KeyTable::find(std::string_view key, std::uint64_t hash) const {
    if (slots_.empty())
        return kNone;
    const std::size_t slot = slotOf(key, hash);
    return slots_[slot] != 0 ? (slots_[slot] & kWhereMask) - 1 : kNone;
}

ReportTitle Reconciler::addReport(const std::string& path, const ReportParser::ProblemSink& onProblem) {
    const auto report = static_cast<std::uint16_t>(reports_.size());
    // One open file for the whole read and every line read again: never a file put in its place since.
    std::size_t size = 0;
    auto file = std::make_shared<UniqueFd>(openFileForReading(path, size));
    // Room for as many lines as a report of this size usually holds: reserved, not touched, so that the
    // tables are not copied as they grow.
    entries_.reserve(entries_.size() + size / 64);
    preferHugePages(entries_.data(), entries_.capacity() * sizeof(Entry));
    keys_.reserve(size / 3);
    const std::size_t firstEntry = entries_.size();
    PendingKeys pending;
    const ReportTitle title =
        readReportFields(file->get(), path, ReportParser::FieldsSink([&](const ReportFields& line) {
                             Entry entry;
                             entry.offset = line.offset;
                             entry.line = static_cast<std::uint32_t>(line.line);
                             entry.report = report;
                             entry.type = typeNumber(line.fields[TypeColumn]);
                             entry.date = dateNumber(line.fields[DateColumn]);
                             // The cents the reader found, else the exact way.
                             auto centsAt = [&line](std::size_t column) {
                                 const std::optional<std::int64_t>& read = line.cents[column - kFirstAmountColumn];
                                 return read ? read : cents(amount(line.fields[column]));
                             };
                             const std::optional<std::int64_t> base = centsAt(TotalBaseColumn);
                             const std::optional<std::int64_t> vat = centsAt(TotalVatColumn);
                             entry.wide = !base || !vat;
                             entry.base = base.value_or(0);
                             entry.vat = vat.value_or(0);
                             bool unknownKind = false;
                             for (std::size_t column = Base0Column; column <= Art163aColumn && !unknownKind; ++column) {
                                 const std::optional<std::int64_t>& read = line.cents[column - kFirstAmountColumn];
                                 unknownKind = read ? *read != 0 : !amount(line.fields[column]).isZero();
                             }
                             entry.unknownKind = unknownKind;
                             entries_.push_back(entry);
                             const auto index = static_cast<std::uint32_t>(entries_.size());
                             documentKeyInto(key_, line.fields[SupplierColumn], line.fields[NumberColumn]);
                             pending.add(key_, index);
                             if (pending.full())
                                 addKeys(pending);
                         }),
                         onProblem);
    addKeys(pending);
    reports_.push_back(Report{path, title.period, std::move(file), firstEntry, entries_.size()});
    return title;
}

void Reconciler::PendingKeys::add(std::string_view key, std::uint32_t index) {
    const std::uint64_t hash = KeyTable::hashOf(key);
    keys.push_back(Key{hash, bytes.size(), key.size(), index});
    bytes.append(key);
}

void Reconciler::addKeys(PendingKeys& pending) {
    // The slots first asked for all at once, so that the memory fetches overlap; then the keys in order.
    for (const PendingKeys::Key& key : pending.keys)
        keys_.prefetch(key.hash);
    for (const PendingKeys::Key& key : pending.keys) {
        const std::uint64_t at = keys_.insert(std::string_view(pending.bytes).substr(key.at, key.size), key.hash);
        KeyTable::Chain chain = keys_.chain(at);
        if (chain.last != 0)
            entries_[chain.last - 1].next = key.index;
        else
            chain.first = key.index;
        chain.last = key.index;
        ++chain.count;
        keys_.setChain(at, chain);
    }
    pending.keys.clear();
    pending.bytes.clear();
}

ReportLine Reconciler::reread(const Entry& entry) const {
    ReportLine line;
    line.line = entry.line;
    const Report& report = reports_[entry.report];
    if (!readReportLineAt(report.file->get(), report.path, entry.offset, line))
        throw FileError(reports_[entry.report].path + ": ред " + std::to_string(entry.line) +
                        ": файлът се е променил, докато се сравнява");
    return line;
}

void Reconciler::deliver(Item& item) {
    switch (item.itemClass) {
    case ItemClass::Agrees:
        ++totals_.agrees;
        break;
    case ItemClass::Missing:
        ++totals_.missing;
        break;
    case ItemClass::NotDeclared:
        ++totals_.notDeclared;
        break;
    case ItemClass::NotExpected:
        ++totals_.notExpected;
        break;
    case ItemClass::Different:
        ++totals_.different;
        break;
    }
    if (item.notCompared)
        ++totals_.notCompared;
    if (onItem_)
        onItem_(item);
}

void Reconciler::compare(const Entry& entry, const std::vector<std::string_view>& amounts, Item& item) const {
    // amounts: the journal's columns 9..13. Amounts in whole cents that agree are settled in cents; anything
    // else (a difference to name, a kind not compared, another writing) the exact way below.
    if (!entry.unknownKind && !entry.wide) {
        std::int64_t journal[5] = {};
        bool fast = true;
        for (std::size_t i = 0; i < 5 && fast; ++i) {
            const std::optional<std::int64_t> value = amountCents(amounts[i]);
            fast = value.has_value();
            journal[i] = value.value_or(0);
        }
        const bool withoutCredit = journal[0] != 0;
        const bool withCredit = journal[1] != 0 || journal[2] != 0 || journal[3] != 0 || journal[4] != 0;
        if (fast && !(withoutCredit && withCredit) &&
            (withoutCredit ? journal[0] == entry.base + entry.vat
                           : journal[1] + journal[3] == entry.base && journal[2] + journal[4] == entry.vat))
            return;
    }
    std::vector<ExactDecimal> journal;
    bool journalNumbers = true;
    for (const std::string_view text : amounts) {
        if (!trimmed(text).empty() && !ExactDecimal::parse(text))
            journalNumbers = false;
        journal.push_back(amount(text));
    }
    const bool withoutCredit = !journal[0].isZero();
    const bool withCredit =
        !journal[1].isZero() || !journal[2].isZero() || !journal[3].isZero() || !journal[4].isZero();
    if (entry.unknownKind || (withoutCredit && withCredit) || !journalNumbers) {
        // A kind whose amounts the report's layout does not tell: both sides shown, never a difference.
        const ReportLine line = reread(entry);
        item.notCompared = true;
        for (std::size_t i = 0; i < amounts.size(); ++i)
            item.journalAmounts +=
                (i ? " " : "") + std::string("кол.") + std::to_string(9 + i) + "=" + utf8(amounts[i]);
        for (std::size_t column = TotalBaseColumn; column <= Art163aColumn; ++column)
            item.reportAmounts += (column == TotalBaseColumn ? "" : " ") + std::string("кол.") +
                                  std::to_string(column + 1) + "=" + utf8(line.fields[column]);
        return;
    }
    ExactDecimal base = ExactDecimal::fromCents(entry.base), vat = ExactDecimal::fromCents(entry.vat);
    if (entry.wide) {
        const ReportLine line = reread(entry);
        base = amount(line.fields[TotalBaseColumn]);
        vat = amount(line.fields[TotalVatColumn]);
    }
    auto differ = [&](const char* what, const ExactDecimal& ours, const ExactDecimal& theirs) {
        if (ours != theirs)
            item.differences.push_back(Difference{what, shown(ours), shown(theirs), shown(ours - theirs)});
    };
    if (withoutCredit) {
        differ("основа и ДДС (кол.9 / кол.8+9)", journal[0], base + vat);
    } else {
        differ("основа (кол.10+12 / кол.8)", journal[1] + journal[3], base);
        differ("ДДС (кол.11+13 / кол.9)", journal[2] + journal[4], vat);
    }
}

void Reconciler::purchase(std::string_view record, std::size_t line) {
    // A classic journal's names are in MIK; numbers, dates and amounts are the same bytes in both.
    if (journalCodePage_ == CodePage::Mik) {
        converted_.assign(record);
        mikToWin1251InPlace(converted_);
        record = converted_;
    }
    Item& item = item_;
    clear(item);
    const std::string_view supplier = trimmed(field(record, CounterpartyField));
    const std::string_view number = trimmed(field(record, DocumentNumberField));
    const std::string_view typeText = trimmed(field(record, DocumentTypeField));
    const std::string_view dateText = trimmed(field(record, DocumentDateField));
    // The key's slot asked for first: it arrives while the record's texts are converted.
    documentKeyInto(key_, supplier, number);
    const std::uint64_t hash = KeyTable::hashOf(key_);
    keys_.prefetch(hash);
    utf8Into(item.supplier, supplier);
    utf8Into(item.number, number);
    utf8Into(item.type, typeText);
    utf8Into(item.date, dateText);
    utf8Into(item.name, field(record, CounterpartyNameField));
    item.journalLine = line;

    const std::uint64_t at = keys_.find(key_, hash);
    const bool found = at != KeyTable::kNone;
    if (found) {
        const KeyTable::Chain chain = keys_.chain(at);
        std::uint32_t index = chain.first;
        while (index != 0 && entries_[index - 1].used)
            index = entries_[index - 1].next;
        if (index != 0) {
            Entry& entry = entries_[index - 1];
            entry.used = true;
            item.reportFile = reports_[entry.report].path;
            item.reportLine = entry.line;
            if (chain.count > 1)
                item.note = "няколко документа с този ключ в справката: сдвоени по реда във файловете";
            const std::uint8_t type = typeNumber(typeText);
            if (type != entry.type || type == 0) {
                const ReportLine read = reread(entry);
                item.differences.push_back(Difference{"вид", item.type, utf8(read.fields[TypeColumn]), {}});
            }
            const std::int32_t date = dateNumber(dateText);
            if (date != entry.date || date == 0) {
                const ReportLine read = reread(entry);
                item.differences.push_back(Difference{"дата", item.date, utf8(read.fields[DateColumn]), {}});
            }
            amounts_.clear();
            for (std::size_t column = 0; column < 5; ++column)
                amounts_.push_back(field(record, FirstAmountField + column));
            compare(entry, amounts_, item);
            item.itemClass = item.differences.empty() ? ItemClass::Agrees : ItemClass::Different;
            deliver(item);
            return;
        }
    }

    // Not in any report given: by its nature, by its month, or not declared.
    const std::uint8_t type = typeNumber(typeText);
    const std::int32_t date = dateNumber(dateText);
    const std::string month = date != 0 ? std::to_string(date / 100) : std::string();
    const bool bulgarian = supplier.size() > 2 && supplier.substr(0, 2) == "BG";
    item.itemClass = ItemClass::NotExpected;
    if (type == 7 || type == 9)
        item.note = type == 7 ? "митнически документ: не е в справката" : "протокол на купувача: не е в справката";
    else if (supplier == "999999999999999")
        item.note = "доставчик без идентификационен номер";
    else if (!bulgarian && check::hasEuVatShape(supplier))
        item.note = "доставчик от друга държава членка";
    else if (!bulgarian && allDigits(supplier))
        item.note = "доставчик без регистрация по ЗДДС";
    else if (!month.empty() && period_.size() == 6 && month < period_)
        item.note = "от по-ранен месец (" + month.substr(4, 2) + "." + month.substr(0, 4) + "): в справката за него";
    else {
        item.itemClass = ItemClass::NotDeclared;
        if (found)
            item.note = "документите с този ключ в справката са вече сдвоени";
        else if (!month.empty() && period_.size() == 6 && month > period_)
            item.note = "с дата след периода";
    }
    deliver(item);
}

void Reconciler::deliverMissing(const Entry& entry, const ReportFields& line) {
    Item& item = item_;
    clear(item);
    item.itemClass = ItemClass::Missing;
    utf8Into(item.supplier, line.fields[SupplierColumn]);
    utf8Into(item.number, line.fields[NumberColumn]);
    utf8Into(item.type, line.fields[TypeColumn]);
    utf8Into(item.date, line.fields[DateColumn]);
    utf8Into(item.name, line.fields[SupplierNameColumn]);
    item.reportFile = reports_[entry.report].path;
    item.reportLine = entry.line;
    item.reportAmounts = "кол.8=" + utf8(line.fields[TotalBaseColumn]) + " кол.9=" + utf8(line.fields[TotalVatColumn]);
    item.note = "кредитът не е ползван; може да е в дневника на по-късен период";
    deliver(item);
}

void Reconciler::finish() {
    for (const Report& report : reports_) {
        // Lines of an earlier month's report belong to that month's journal.
        if (report.period != period_)
            continue;
        // The lines no record took, in file order: read again through one window sliding down the file.
        ReportLineReader reader(report.file->get(), report.path);
        for (std::size_t index = report.firstEntry; index < report.endEntry; ++index) {
            const Entry& entry = entries_[index];
            if (entry.used)
                continue;
            if (!reader.readFields(entry.offset, entry.line,
                                   [&](const ReportFields& line) { deliverMissing(entry, line); }))
                throw FileError(report.path + ": ред " + std::to_string(entry.line) +
                                ": файлът се е променил, докато се сравнява");
        }
    }
}

} // namespace orva::report
