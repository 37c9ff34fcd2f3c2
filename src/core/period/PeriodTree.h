#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <vector>

// The periods of an office: the folders of many clients' periods, found under the given roots, and
// the names their outputs get.
namespace orva {

// Every folder at or under `roots` that holds a return record (deklar.txt in any letter case), each
// once, in byte order of its path. Symbolic links to folders are not followed (a link back up the tree
// would never end). A folder that cannot be listed (permission, a path beyond PATH_MAX) is among them,
// so that reading it reports it as when it is named. Throws PeriodError (Stage::Load) naming a root that
// is not a folder.
std::vector<std::string> findPeriodFolders(const std::vector<std::string>& roots);

// "<VAT number>-<YYYYMM>" of letters and digits only, from the return record's fields as they stand
// (blanks and any other character left out); empty parts give "period" and "000000".
std::string periodOutputName(std::string_view vatNumber, std::string_view period);

// periodOutputName of the return record in `folder`, read from its first bytes alone (the VAT number and
// the period are plain ASCII in either code page); when it cannot be read, the name made of the folder's
// own name.
std::string periodOutputNameOf(const std::string& folder);

// Hands out names so that none is given twice: the second "X" is "X-2", the third "X-3" ...
class UniqueNames {
public:
    std::string take(const std::string& name);

private:
    std::map<std::string, std::size_t> taken_;
};

} // namespace orva
