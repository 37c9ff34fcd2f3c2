#include "check/RecordLayout.h"

namespace orva::check {

namespace {

// FORMATS §3.1; positions 1-272 are the classic record, 273-274 today's code.
constexpr RecordField purchasesFields[] = {
    {1, 15, "03-02", "03-02", "ДДС номер на лицето", FieldKind::Text},
    {16, 6, "03-01", "03-01", "данъчен период", FieldKind::Period},
    {22, 4, "03-03", "кол.2", "клон", FieldKind::Integer},
    {26, 15, "03-04", "кол.1", "пореден номер", FieldKind::Integer},
    {41, 2, "03-05", "кол.3", "вид на документа", FieldKind::DocumentType},
    {43, 20, "03-06", "кол.4", "номер на документа", FieldKind::Text},
    {63, 10, "03-07", "кол.5", "дата на документа", FieldKind::Date},
    {73, 15, "03-08", "кол.6", "идентификационен номер на контрагента", FieldKind::Identifier},
    {88, 50, "03-09", "кол.7", "име на контрагента", FieldKind::Text},
    {138, 30, "03-10", "кол.8", "вид на стоката или услугата", FieldKind::Text},
    {168, 15, "03-30", "кол.9", "основа и данък без право на кредит", FieldKind::Amount},
    {183, 15, "03-31", "кол.10", "основа с право на пълен кредит", FieldKind::Amount},
    {198, 15, "03-41", "кол.11", "ДДС с право на пълен кредит", FieldKind::Amount},
    {213, 15, "03-32", "кол.12", "основа с право на частичен кредит", FieldKind::Amount},
    {228, 15, "03-42", "кол.13", "ДДС с право на частичен кредит", FieldKind::Amount},
    {243, 15, "03-43", "кол.14", "годишна корекция", FieldKind::Amount},
    {258, 15, "03-44", "кол.15", "основа при тристранна операция", FieldKind::Amount},
    {273, 2, "03-45", "03-45", "код по чл. 163а, чл. 167а или складиране на разположение", FieldKind::Code},
};

// FORMATS §3.2; positions 1-422 are the classic record, 423-424 today's code.
constexpr RecordField salesFields[] = {
    {1, 15, "02-00", "02-00", "ДДС номер на лицето", FieldKind::Text},
    {16, 6, "02-01", "02-01", "данъчен период", FieldKind::Period},
    {22, 4, "02-02", "кол.2", "клон", FieldKind::Integer},
    {26, 15, "02-03", "кол.1", "пореден номер", FieldKind::Integer},
    {41, 2, "02-04", "кол.3", "вид на документа", FieldKind::DocumentType},
    {43, 20, "02-05", "кол.4", "номер на документа", FieldKind::Text},
    {63, 10, "02-06", "кол.5", "дата на документа", FieldKind::Date},
    {73, 15, "02-07", "кол.6", "идентификационен номер на контрагента", FieldKind::Identifier},
    {88, 50, "02-08", "кол.7", "име на контрагента", FieldKind::Text},
    {138, 30, "02-09", "кол.8", "вид на стоката или услугата", FieldKind::Text},
    {168, 15, "02-10", "кол.9", "обща данъчна основа", FieldKind::Amount},
    {183, 15, "02-20", "кол.10", "общо начислен ДДС", FieldKind::Amount},
    {198, 15, "02-11", "кол.11", "основа 20 %", FieldKind::Amount},
    {213, 15, "02-21", "кол.12", "ДДС 20 %", FieldKind::Amount},
    {228, 15, "02-12", "кол.13", "основа на ВОП", FieldKind::Amount},
    {243, 15, "02-26", "кол.14", "основа по чл. 82, ал. 2-5", FieldKind::Amount},
    {258, 15, "02-22", "кол.15", "ДДС на ВОП и по чл. 82", FieldKind::Amount},
    {273, 15, "02-23", "кол.16", "ДДС за лични нужди", FieldKind::Amount},
    {288, 15, "02-13", "кол.17", "основа 9 %", FieldKind::Amount},
    {303, 15, "02-24", "кол.18", "ДДС 9 %", FieldKind::Amount},
    {318, 15, "02-14", "кол.19", "основа 0 % по глава трета", FieldKind::Amount},
    {333, 15, "02-15", "кол.20", "основа 0 % на ВОД", FieldKind::Amount},
    {348, 15, "02-16", "кол.21", "основа 0 % по чл. 140, 146 и 173", FieldKind::Amount},
    {363, 15, "02-17", "кол.22", "основа на услуги по чл. 21, ал. 2", FieldKind::Amount},
    {378, 15, "02-18", "кол.23", "основа по чл. 69, ал. 2", FieldKind::Amount},
    {393, 15, "02-19", "кол.24", "основа на освободени доставки", FieldKind::Amount},
    {408, 15, "02-25", "кол.25", "основа като посредник в тристранна операция", FieldKind::Amount},
    {423, 2, "02-27", "02-27", "код по чл. 163а, чл. 167а или складиране на разположение", FieldKind::Code},
};

static_assert(sizeof purchasesFields / sizeof purchasesFields[0] == FirstAmountField + 7 + 1);
static_assert(sizeof salesFields / sizeof salesFields[0] == FirstAmountField + 17 + 1);

const RecordLayout purchases{JournalKind::Purchases, purchasesFields, 7};
const RecordLayout sales{JournalKind::Sales, salesFields, 17};

} // namespace

const RecordLayout& purchasesRecordLayout() {
    return purchases;
}

const RecordLayout& salesRecordLayout() {
    return sales;
}

const RecordLayout& recordLayout(JournalKind kind) {
    return kind == JournalKind::Purchases ? purchases : sales;
}

} // namespace orva::check
