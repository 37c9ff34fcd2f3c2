#include "text/Errors.h"

#include "text/Encoding.h"

#include <cerrno>
#include <cstring>

namespace orva {

ConversionError::ConversionError(std::string text)
    : Error("\"" + win1251ToUtf8(text) + "\" не е число"), text_(std::move(text)) {}

std::string systemErrorText(int error) {
    // What a user meets reading a diskette, a USB stick or a network folder, and writing beside it.
    static const struct {
        int error;
        const char* text;
    } kTexts[] = {
        {ENOENT, "няма такъв файл или папка"},
        {EACCES, "няма права за достъп"},
        {EPERM, "действието не е позволено"},
        {EISDIR, "това е папка, а не файл"},
        {ENOTDIR, "част от пътя не е папка"},
        {EIO, "входно-изходна грешка на носителя"},
        {ENOSPC, "няма място на диска"},
        {EDQUOT, "квотата на диска е изчерпана"},
        {EROFS, "носителят е само за четене"},
        {EEXIST, "файлът вече съществува"},
        {EMFILE, "отворени са твърде много файлове"},
        {ENFILE, "отворени са твърде много файлове в системата"},
        {ENAMETOOLONG, "името е твърде дълго"},
        {ELOOP, "твърде много символни връзки в пътя"},
        {ENXIO, "няма такова устройство"},
        {ENODEV, "няма такова устройство"},
        {EBUSY, "устройството или файлът са заети"},
        {ETIMEDOUT, "времето за отговор изтече"},
        {ESTALE, "мрежовата папка вече не е достъпна"},
        {EFBIG, "файлът е твърде голям"},
        {ENOMEM, "няма достатъчно памет"},
        {EINVAL, "невалиден аргумент"},
    };
    for (const auto& entry : kTexts)
        if (entry.error == error)
            return entry.text;
    return std::strerror(error);
}

} // namespace orva
