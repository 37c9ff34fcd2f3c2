#pragma once

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace orva {

// Pieces of text (any bytes) held for later and handed back in the order added: the first megabyte
// in memory, the rest in an unnamed temporary file (in memory all the same when none can be made).
// For output that must come in another order than it is found, however much of it there is.
class TextSpool {
public:
    void add(std::string_view piece);
    bool empty() const { return count_ == 0; }
    // Every piece, in the order added; the spool is empty afterwards. Throws FileError when the
    // temporary file cannot be written or read back.
    void replay(const std::function<void(std::string_view piece)>& take);
    void clear();

private:
    void spill();

    struct FileCloser {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };
    std::string block_; // pieces not yet in the file, each after its length
    std::unique_ptr<std::FILE, FileCloser> file_;
    bool noFile_ = false;
    std::size_t count_ = 0;
};

} // namespace orva
