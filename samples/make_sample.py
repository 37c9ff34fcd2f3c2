#!/usr/bin/env python3
"""Writes a made-up tax period for ОРВА: deklar.txt, pokupki.txt and prodagbi.txt (and, for the
current generation, VIES.TXT).

The firm, its customers and suppliers are invented. The files are what a Bulgarian accounting
package prepares for electronic submission: fixed-width records, CR LF after every line, amounts
right-aligned with a decimal point. The return record's cells are the journals' column totals, so
`orva-cli check` finds every rule holding.

Two generations: `classic` (the default) writes the older files, MIK code page, journal records of
272 and 422 characters, dates dd.mm.yyyy; `current` writes today's: Windows-1251 (with „“№–
in some names), records of 274 and 424 characters, dates dd/mm/yyyy, cells 23, 13, 24, 14 in
today's order, upper-case file names. `--purchases 0` writes an empty purchases journal.

    python3 samples/make_sample.py                      # rewrites samples/2026-10
    python3 samples/make_sample.py --generation current --period 2026-11 --purchases 0 \
        --sales 24 --seed 202611 --out samples/2026-11   # rewrites samples/2026-11
    python3 samples/make_sample.py --out DIR --purchases 150 --sales 150 --seed 7

Standard library only: it runs on a fresh Debian 12 with nothing but python3.
"""

import argparse
import calendar
import os
import random
import sys

# ------------------------------------------------------------------ encoding and field helpers


def to_mik(text):
    """UTF-8 text to MIK bytes: Windows-1251 letters 0xC0..0xFF are MIK 0x80..0xBF."""
    raw = text.encode("cp1251")
    out = bytearray()
    for byte in raw:
        if byte >= 0xC0:
            out.append(byte - 0x40)
        elif byte >= 0x80:
            # MIK has no place for the other Windows-1251 signs (№, „, “ ...): keep to letters.
            raise ValueError("character outside MIK letters in %r" % text)
        else:
            out.append(byte)
    return bytes(out)


def left(text, width):
    if len(text) > width:
        raise ValueError("%r is wider than %d" % (text, width))
    return text.ljust(width)


def right(text, width):
    if len(text) > width:
        raise ValueError("%r is wider than %d" % (text, width))
    return text.rjust(width)


def money(cents, width=15):
    """Cents as a right-aligned amount with a point: -12345 -> '        -123.45'."""
    sign = "-" if cents < 0 else ""
    cents = abs(cents)
    return right("%s%d.%02d" % (sign, cents // 100, cents % 100), width)


def vat(base_cents, percent):
    """VAT on a base, rounded half away from zero to the cent."""
    product = abs(base_cents) * percent
    value = (product + 50) // 100
    return value if base_cents >= 0 else -value


def eik(rng):
    """A 9-digit unified identification code with a valid check digit (made-up, random)."""
    digits = [rng.randint(1, 9)] + [rng.randint(0, 9) for _ in range(7)]
    check = sum(d * w for d, w in zip(digits, range(1, 9))) % 11
    if check == 10:
        check = sum(d * w for d, w in zip(digits, range(3, 11))) % 11
        if check == 10:
            check = 0
    return "".join(map(str, digits)) + str(check)


# ------------------------------------------------------------------ the made-up firm

FIRM_NAME = "РОДОПА ВИЖЪН ООД"
FIRM_SIGNATORY = "ИВАН ПЕТРОВ ДИМИТРОВ"
BRANCH = "0000"
# Coefficient for partial tax credit (cell 33), as fixed for the year.
COEFFICIENT = "0.85"
COEFFICIENT_HUNDREDTHS = 85

DOMESTIC_CUSTOMERS = [
    "ТУРИСТИЧЕСКА АГЕНЦИЯ ЕДЕЛВАЙС ООД",
    "БАЛКАН ТРАВЪЛ ЕООД",
    "СМОЛЯН ИНВЕСТ АД",
    "ВИНАРНА СТАРИЯ ДЪБ ЕООД",
    "МАГАЗИНИ ЯНТРА ООД",
    "ПЛОВДИВ ЕКСПО ЕАД",
    "ЗЕЛЕН ВЯТЪР ЕООД",
    "ДЕЛТА КОНСУЛТ ООД",
    "ХОРИЗОНТ ИВЕНТС ЕООД",
    "СИНЯ ЛАГУНА ТУР ООД",
    "ПЕРУНИКА ФУУДС ЕООД",
    "АКАДЕМИЯ ЗА ТАНЦ И МУЗИКА ЕООД",
]
TRAVEL_AGENCIES = [
    "ТУРИСТИЧЕСКА АГЕНЦИЯ ЕДЕЛВАЙС ООД",
    "БАЛКАН ТРАВЪЛ ЕООД",
    "СИНЯ ЛАГУНА ТУР ООД",
    "РОДОПСКИ ПЪТЕКИ ЕООД",
]
SALES_GOODS_20 = [
    "РЕСТОРАНТЬОРСКИ УСЛУГИ",
    "ОРГАНИЗАЦИЯ НА СЪБИТИЕ",
    "ВИНО ЧЕРВЕНО 0.75Л",
    "ВИНО БЯЛО 0.75Л",
    "КЕТЪРИНГ",
    "НАЕМ НА ЗАЛА",
    "ДЕГУСТАЦИЯ НА ВИНА",
    "СПА УСЛУГИ",
]
SUPPLIERS_20 = [
    ("МЕСОКОМБИНАТ ТРИГРАД ЕООД", "МЕСО И МЕСНИ ПРОДУКТИ"),
    ("МЛЕКАРНА БЯЛ КАМЪК ООД", "МЛЕЧНИ ПРОДУКТИ"),
    ("ЗЕЛЕНЧУКОВА БОРСА ЮГ ЕООД", "ПЛОДОВЕ И ЗЕЛЕНЧУЦИ"),
    ("ХЛЕБОЗАВОД ЗЛАТЕН КЛАС АД", "ХЛЯБ И ТЕСТЕНИ"),
    ("НАПИТКИ ДИСТРИБУЦИЯ ООД", "БЕЗАЛКОХОЛНИ НАПИТКИ"),
    ("СТЪКЛАРСКИ ЗАВОД ЗОРНИЦА АД", "БУТИЛКИ 0.75Л"),
    ("ТАПИ И ЕТИКЕТИ ЕООД", "ТАПИ И ЕТИКЕТИ"),
    ("ХИГИЕНА ПРОФИ ООД", "ПЕРИЛНИ ПРЕПАРАТИ"),
    ("ТЕКСТИЛ ДОМ ЕООД", "СПАЛНО БЕЛЬО"),
    ("ЛОЗАРСКА КООПЕРАЦИЯ МАВРУД", "ГРОЗДЕ ВИНЕНО"),
    ("ДЪРВАРСКИ СКЛАД ОРЕХИТЕ ЕООД", "ДЪРВА ЗА ОГРЕВ"),
    ("ТЕХНО СЕРВИЗ ЮГ ООД", "РЕМОНТ ХЛАДИЛНИЦИ"),
]
UTILITIES = [
    ("ЕЛЕКТРОСНАБДЯВАНЕ ЮГ АД", "ЕЛЕКТРИЧЕСКА ЕНЕРГИЯ"),
    ("ВОДОСНАБДЯВАНЕ СМОЛЯН ЕООД", "ВОДА"),
    ("ТЕЛЕКОМ МРЕЖИ БЪЛГАРИЯ АД", "ТЕЛЕФОН И ИНТЕРНЕТ"),
    ("ГОРИВА И МАСЛА РОДОПИ ООД", "ДИЗЕЛ ЗА ТОВАРЕН АВТ."),
]
NO_CREDIT = [
    ("ГОРИВА И МАСЛА РОДОПИ ООД", "БЕНЗИН ЗА ЛЕК АВТ."),
    ("ЦВЕТАРСКИ МАГАЗИН ЛАЛЕ ЕООД", "ПРЕДСТАВИТЕЛНИ РАЗХОДИ"),
    ("СЛАДКАРНИЦА ЕЛИТ ЕООД", "ПРЕДСТАВИТЕЛНИ РАЗХОДИ"),
]
PARTIAL = [
    ("СЧЕТОВОДНА КЪЩА БАЛАНС ООД", "СЧЕТОВОДНИ УСЛУГИ"),
    ("ОХРАНА СИГМА ЕООД", "ОХРАНА НА СГРАДА"),
    ("АСАНСЬОРИ СЕРВИЗ ЕООД", "ПОДДРЪЖКА АСАНСЬОР"),
]


class Period:
    def __init__(self, year, month, current=False):
        self.year = year
        self.month = month
        self.days = calendar.monthrange(year, month)[1]
        self.text = "%04d%02d" % (year, month)
        self.current = current

    def date(self, day):
        separator = "/" if self.current else "."
        return "%02d%s%02d%s%04d" % (day, separator, self.month, separator, self.year)


# ------------------------------------------------------------------ records

PURCHASE_AMOUNTS = 7  # journal columns 9 to 15
SALES_AMOUNTS = 17  # journal columns 9 to 25


def identity(vat_number, period, ordinal, kind, number, date, counterparty, name, goods):
    """Fields 1 to 10, common to both journals (167 characters)."""
    return (left(vat_number, 15) + period.text + BRANCH + right(str(ordinal), 15) + kind + left(number, 20)
            + date + left(counterparty, 15) + left(name, 50) + left(goods, 30))


def make_purchases(rng, period, count, vat_number):
    """A list of (day, kind, number, counterparty, name, goods, amounts by column 9..15)."""
    records = []
    suppliers = {name: eik(rng) for name, _ in SUPPLIERS_20 + UTILITIES + NO_CREDIT + PARTIAL}
    utilities_left = list(UTILITIES)
    partial_left = list(PARTIAL)

    def add(day, kind, number, counterparty, name, goods, columns):
        amounts = [0] * PURCHASE_AMOUNTS
        for column, cents in columns.items():
            amounts[column - 9] = cents
        records.append((day, kind, number, counterparty, name, goods, amounts))

    # Goods from another member state (self-charged VAT, full credit) and a platform's commission
    # (services received under art. 82(2)): both also stand in the sales journal.
    equipment = 1860000
    add(6, "01", "2026000457", "IT02845160219", "ENOTECNICA VENETA S.R.L.", "ПОМПА ЗА ВИНО",
        {10: equipment, 11: vat(equipment, 20)})
    commission = rng.randint(180000, 260000)
    add(period.days, "01", "1799366402", "NL805734958B01", "BOOKING.COM B.V.", "КОМИСИОННИ",
        {10: commission, 11: vat(commission, 20)})
    # A credit note from a supplier.
    name, goods = SUPPLIERS_20[0]
    returned = -rng.randint(8000, 30000)
    add(rng.randint(10, 20), "03", "0000087113", "BG" + suppliers[name], name, "ВРЪЩАНЕ НА СТОКА",
        {10: returned, 11: vat(returned, 20)})

    while len(records) < count:
        day = rng.randint(1, period.days)
        roll = rng.random()
        number = "%010d" % rng.randint(10000, 9999999)
        if utilities_left and roll < 0.12:
            name, goods = utilities_left.pop(0)
            base = rng.randint(30000, 420000)
            add(day, "01", number, "BG" + suppliers[name], name, goods, {10: base, 11: vat(base, 20)})
        elif partial_left and roll < 0.2:
            # Shared costs of the building that also holds a rented flat (an exempt supply):
            # a whole number of leva, so the credited part of the VAT is exact to the cent.
            name, goods = partial_left.pop(0)
            base = rng.randint(300, 1800) * 100
            add(day, "01", number, "BG" + suppliers[name], name, goods, {12: base, 13: vat(base, 20)})
        elif roll < 0.27:
            name, goods = NO_CREDIT[rng.randrange(len(NO_CREDIT))]
            base = rng.randint(4000, 40000)
            add(day, "01", number, "BG" + suppliers[name], name, goods, {9: base + vat(base, 20)})
        else:
            name, goods = SUPPLIERS_20[rng.randrange(len(SUPPLIERS_20))]
            base = rng.randint(15000, 650000)
            add(day, "01", number, "BG" + suppliers[name], name, goods, {10: base, 11: vat(base, 20)})
    records.sort(key=lambda r: (r[0], r[2]))
    return records, equipment, commission


def make_sales(rng, period, count, equipment, commission):
    records = []
    customers = {name: eik(rng) for name in DOMESTIC_CUSTOMERS + TRAVEL_AGENCIES}

    def add(day, kind, counterparty, name, goods, columns):
        amounts = [0] * SALES_AMOUNTS
        for column, cents in columns.items():
            amounts[column - 9] = cents
        # Column 9 totals the bases subject to VAT, column 10 the VAT charged.
        amounts[0] = sum(amounts[c - 9] for c in (11, 13, 14, 17, 19, 20, 21))
        amounts[1] = sum(amounts[c - 9] for c in (12, 15, 16, 18))
        records.append([day, kind, None, counterparty, name, goods, amounts])

    # The self-charged VAT on the purchases from abroad (art. 84 and art. 82(2)).
    if equipment:
        add(6, "09", "IT02845160219", "ENOTECNICA VENETA S.R.L.", "ВОП ПОМПА ЗА ВИНО",
            {13: equipment, 15: vat(equipment, 20)})
    if commission:
        add(period.days, "09", "NL805734958B01", "BOOKING.COM B.V.", "УСЛУГИ ЧЛ.82 АЛ.2",
            {14: commission, 15: vat(commission, 20)})
    if period.current:
        # Today's files are Windows-1251, which holds the typographic quotes, the dash and "№".
        agency = "ТУРИСТИЧЕСКА АГЕНЦИЯ „ПИРИН“ – ООД"
        base = rng.randint(40000, 600000)
        add(rng.randint(2, 9), "01", "BG" + eik(rng), agency, "НОЩУВКИ ПО ДОГОВОР №7", {17: base, 18: vat(base, 9)})
    # Wine to a German importer, to a Serbian shop (no BG or EU number: fifteen nines), a conference
    # abroad, the flat's rent to a person (an ЕГН). Every identifier passes its check digit or shape.
    wine = rng.randint(900000, 1500000)
    add(rng.randint(5, 15), "01", "DE281934027", "WEINHANDEL SCHNEIDER GMBH", "ВИНО - ВОД", {20: wine})
    export = rng.randint(300000, 700000)
    add(rng.randint(15, 25), "01", "999999999999999", "VINOTEKA BEOGRAD DOO", "ВИНО - ИЗНОС", {19: export})
    event = rng.randint(200000, 400000)
    add(rng.randint(8, 22), "01", "ATU36458127", "ALPENKONGRESS GMBH", "ОРГАНИЗАЦИЯ СЪБИТИЕ", {22: event})
    add(1, "01", "8011223340", "ГЕОРГИ СТОЯНОВ КОЛЕВ", "НАЕМ НА ЖИЛИЩЕ", {24: 90000})
    # A credit note for a returned case of wine.
    refund = -rng.randint(10000, 40000)
    name = DOMESTIC_CUSTOMERS[4]
    add(rng.randint(12, 28), "03", "BG" + customers[name], name, "ВРЪЩАНЕ НА ВИНО",
        {11: refund, 12: vat(refund, 20)})
    # The fiscal device's report of the month's retail sales (restaurant and rooms).
    retail_food = rng.randint(2500000, 4200000)
    retail_rooms = rng.randint(1500000, 3000000)
    add(period.days, "81", "999999999999999", "ФИЗИЧЕСКИ ЛИЦА", "ОТЧЕТ ЗА ПРОДАЖБИТЕ",
        {11: retail_food, 12: vat(retail_food, 20), 17: retail_rooms, 18: vat(retail_rooms, 9)})

    while len(records) < count:
        day = rng.randint(1, period.days)
        if rng.random() < 0.3:
            name = TRAVEL_AGENCIES[rng.randrange(len(TRAVEL_AGENCIES))]
            base = rng.randint(40000, 600000)
            add(day, "01", "BG" + customers[name], name, "НОЩУВКИ", {17: base, 18: vat(base, 9)})
        else:
            name = DOMESTIC_CUSTOMERS[rng.randrange(len(DOMESTIC_CUSTOMERS))]
            goods = SALES_GOODS_20[rng.randrange(len(SALES_GOODS_20))]
            base = rng.randint(5000, 480000)
            kind = "02" if rng.random() < 0.03 else "01"
            add(day, kind, "BG" + customers[name], name, goods, {11: base, 12: vat(base, 20)})
    records.sort(key=lambda r: r[0])
    # Our own documents are numbered in date order; the protocols have their own series.
    invoice, protocol = 4211, 17
    for record in records:
        if record[1] == "09":
            record[2] = "%010d" % protocol
            protocol += 1
        elif record[1] == "81":
            record[2] = "%010d" % (300 + period.month)
        else:
            record[2] = "%010d" % invoice
            invoice += 1
    if period.current:
        # Today's records carry the code of column 8а; two domestic sales show it on the sample
        # (01: art. 163a, Part I of Annex 2; 07: bread). The others leave it blank.
        domestic = [record for record in records if record[1] == "01" and record[6][11 - 9] > 0]
        domestic[0].append("01")
        domestic[min(2, len(domestic) - 1)].append("07")
    return records


def journal_lines(records, period, vat_number, amount_count):
    lines = []
    for ordinal, record in enumerate(records, 1):
        day, kind, number, counterparty, name, goods, amounts = record[:7]
        assert len(amounts) == amount_count
        line = identity(vat_number, period, ordinal, kind, number, period.date(day), counterparty, name, goods)
        line += "".join(money(cents) for cents in amounts)
        if period.current:
            # The 2-character code of today's records (column 8а); blank: no special regime.
            line += left(record[7] if len(record) > 7 else "", 2)
        lines.append(line)
    return lines


def totals(records, amount_count):
    sums = [0] * amount_count
    for record in records:
        for i, cents in enumerate(record[6]):
            sums[i] += cents
    return sums


def declaration(period, vat_number, purchases, sales):
    """The return record (590 characters) whose cells are the journals' totals."""
    p = totals(purchases, PURCHASE_AMOUNTS)
    s = totals(sales, SALES_AMOUNTS)

    def pc(column):
        return p[column - 9]

    def sc(column):
        return s[column - 9]

    cells = {
        "01": sc(9), "20": sc(10), "11": sc(11), "21": sc(12), "12": sc(13) + sc(14), "22": sc(15),
        "23": sc(16), "13": sc(17), "24": sc(18), "14": sc(19), "15": sc(20), "16": sc(21), "17": sc(22),
        "18": sc(23), "19": sc(24),
        "30": pc(9), "31": pc(10), "41": pc(11), "32": pc(12), "42": pc(13), "43": pc(14),
    }
    assert cells["01"] == sum(cells[c] for c in ("11", "12", "13", "14", "15", "16"))
    assert cells["20"] == sum(cells[c] for c in ("21", "22", "23", "24"))
    credited = cells["42"] * COEFFICIENT_HUNDREDTHS
    assert credited % 100 == 0, "the partial credit must be exact to the cent"
    cells["40"] = cells["41"] + credited // 100 + cells["43"]
    difference = cells["20"] - cells["40"]
    cells["50"] = difference if difference > 0 else 0
    cells["60"] = 0 if difference > 0 else -difference
    # The tax due is paid in full; nothing is deducted and no refund is asked for.
    cells["70"] = 0
    cells["71"] = cells["50"]
    cells["80"] = cells["81"] = cells["82"] = 0

    record = left(vat_number, 15) + left(FIRM_NAME, 50) + period.text + left(FIRM_SIGNATORY, 50)
    record += right(str(len(sales)), 15) + right(str(len(purchases)), 15)
    # Today's records hold cells 23, 13, 24, 14 where the older ones hold 13, 23, 14, 24.
    middle = ["23", "13", "24", "14"] if period.current else ["13", "23", "14", "24"]
    order = ["01", "20", "11", "21", "12", "22"] + middle + ["15", "16", "17", "18", "19",
                                                             "30", "31", "41", "32", "42", "43"]
    record += "".join(money(cells[c]) for c in order)
    record += COEFFICIENT
    record += "".join(money(cells[c]) for c in ("40", "50", "60", "70", "71", "80", "81", "82"))
    assert len(record) == 590, len(record)
    return record


# The person who files the VIES declaration for the firm (an ЕГН with a valid check digit), its
# address, and a customer whose earlier supply is corrected this month (a line with a к6 period).
FIRM_ADDRESS = "УЛ. ВИНАРСКА 12"
FIRM_CITY, FIRM_POSTCODE = "МЕЛНИК", "2820"
SIGNATORY_EGN = "7501020018"
CORRECTED_CUSTOMER = "FR40303265045"


def vies_lines(period, vat_number, sales):
    """VIES.TXT (FORMATS §6): one VIR line per EU customer of the sales journal, with its goods
    (column 20), triangular (25) and services (22) summed, so that the sums agree with cells 15 and
    17; and one correction of the month before, which the return leaves out."""
    customers = {}
    for record in sales:
        counterparty, amounts = record[3], record[6]
        goods, services, triangular = amounts[20 - 9], amounts[22 - 9], amounts[25 - 9]
        if goods or services or triangular:
            sums = customers.setdefault(counterparty, [0, 0, 0])
            sums[0] += goods
            sums[1] += triangular
            sums[2] += services
    before = (period.year, period.month - 1) if period.month > 1 else (period.year - 1, 12)
    rows = [(vin, sums, " " * 7) for vin, sums in customers.items()]
    rows.append((CORRECTED_CUSTOMER, [-25000, 0, 0], "%02d/%04d" % (before[1], before[0])))
    vies_period = "%02d/%04d" % (period.month, period.year)
    lines = ["VHR" + vies_period + right(str(len(rows)), 5),
             "VDR" + left(SIGNATORY_EGN, 15) + left(FIRM_SIGNATORY, 150) + left(FIRM_CITY, 50)
             + left(FIRM_POSTCODE, 4) + left(FIRM_ADDRESS, 150) + "A",
             "VTR" + left(vat_number, 15) + left(FIRM_NAME, 150) + left(FIRM_CITY + ", " + FIRM_ADDRESS, 200)]
    all_total = sum(sum(sums) for _, sums, _ in rows)
    goods_total = sum(sums[0] for _, sums, _ in rows)
    lines.append("TTR" + money(all_total, 12) + money(goods_total, 12))
    for number, (vin, sums, corrected) in enumerate(rows, 1):
        lines.append("VIR" + right(str(number), 5) + left(vin, 15) + "".join(money(c, 12) for c in sums) + corrected)
    for line, width in zip(lines, (15, 373, 368, 27) + (66,) * len(rows)):
        assert len(line) == width, (line, width)
    return lines


def write_lines(path, lines, current=False):
    encode = (lambda line: line.encode("cp1251")) if current else to_mik
    data = b"".join(encode(line) + b"\r\n" for line in lines)
    tmp = path + ".tmp"
    with open(tmp, "wb") as handle:
        handle.write(data)
    os.replace(tmp, path)


def generate(out, year, month, purchase_count, sales_count, seed, current=False):
    if (purchase_count != 0 and purchase_count < 3) or sales_count < 8:
        raise SystemExit("make_sample.py: 0 or at least 3 purchases and at least 8 sales are needed")
    rng = random.Random(seed)
    period = Period(year, month, current)
    vat_number = "BG" + eik(rng)
    purchases, equipment, commission = [], 0, 0
    if purchase_count:
        purchases, equipment, commission = make_purchases(rng, period, purchase_count, vat_number)
    sales = make_sales(rng, period, sales_count, equipment, commission)

    purchase_lines = journal_lines(purchases, period, vat_number, PURCHASE_AMOUNTS)
    sales_lines = journal_lines(sales, period, vat_number, SALES_AMOUNTS)
    extra = 2 if current else 0
    for line in purchase_lines:
        assert len(line) == 272 + extra, len(line)
    for line in sales_lines:
        assert len(line) == 422 + extra, len(line)
        # Amounts are right-aligned and fit the sales journal's 12-character cells.
        assert all(line[167 + 15 * i:167 + 15 * i + 3] == "   " for i in range(SALES_AMOUNTS)), line
    for total in totals(sales, SALES_AMOUNTS):
        assert len(money(total).strip()) <= 12, "a sales total would not fit its 12-character cell"

    os.makedirs(out, exist_ok=True)
    names = ("DEKLAR.TXT", "POKUPKI.TXT", "PRODAGBI.TXT") if current else ("deklar.txt", "pokupki.txt", "prodagbi.txt")
    write_lines(os.path.join(out, names[0]), [declaration(period, vat_number, purchases, sales)], current)
    write_lines(os.path.join(out, names[1]), purchase_lines, current)
    write_lines(os.path.join(out, names[2]), sales_lines, current)
    if current:
        write_lines(os.path.join(out, "VIES.TXT"), vies_lines(period, vat_number, sales), current)


def main(argv):
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description="Write a made-up tax period (CR LF).")
    parser.add_argument("--generation", choices=("classic", "current"), default="classic",
                        help="classic: MIK, 272/422; current: Windows-1251, 274/424, today's return order")
    parser.add_argument("--out", default=os.path.join(here, "2026-10"), help="folder to write (created)")
    parser.add_argument("--period", default="2026-10", help="year and month, YYYY-MM")
    parser.add_argument("--purchases", type=int, default=46, help="number of purchase records")
    parser.add_argument("--sales", type=int, default=48, help="number of sales records")
    parser.add_argument("--seed", type=int, default=202610, help="seed of the made-up values")
    args = parser.parse_args(argv)
    try:
        year, month = (int(part) for part in args.period.split("-"))
    except ValueError:
        parser.error("--period must be YYYY-MM")
    if not 1 <= month <= 12:
        parser.error("--period: month must be 01 to 12")
    generate(args.out, year, month, args.purchases, args.sales, args.seed, args.generation == "current")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
