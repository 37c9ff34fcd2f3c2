#pragma once

// The names of a period's files, as the accounting programs write them; found on disk in any
// letter case (period/DataFiles.h, findDataFile).
namespace orva {

inline const char* const kDeclarationFileName = "deklar.txt";
inline const char* const kPurchasesFileName = "pokupki.txt";
inline const char* const kSalesFileName = "prodagbi.txt";
inline const char* const kViesFileName = "VIES.TXT";

} // namespace orva
