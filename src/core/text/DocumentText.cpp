#include "text/DocumentText.h"

#include "text/Errors.h"
#include "text/LineFile.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <mutex>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orva {

LineListText::LineListText(std::vector<std::string> lines) : lines_(std::move(lines)) {
    for (const std::string& line : lines_)
        longest_ = std::max(longest_, line.size());
}

void LineListText::append(std::string line) {
    longest_ = std::max(longest_, line.size());
    lines_.push_back(std::move(line));
}

void LineStarts::add(std::uint64_t offset) {
    while ((offset >> 32) > wraps_.size())
        wraps_.push_back(low_.size());
    low_.push_back(static_cast<std::uint32_t>(offset));
}

std::uint64_t LineStarts::operator[](std::size_t line) const {
    const auto high = static_cast<std::uint64_t>(std::upper_bound(wraps_.begin(), wraps_.end(), line) - wraps_.begin());
    return (high << 32) | low_[line];
}

namespace {

// The mappings the SIGBUS handler may repair. Slots are taken and given back with atomics only: the
// handler reads them while any thread maps or unmaps a text.
struct GuardedMapping {
    std::atomic<std::uintptr_t> begin{0}; // 0: a free slot
    std::atomic<std::uintptr_t> end{0};
    std::atomic<bool> changed{false};
};
constexpr int kGuardedMappings = 64;
GuardedMapping guardedMappings[kGuardedMappings];
struct sigaction previousBusAction;

void onBusError(int signal, siginfo_t* info, void* context) {
    const auto address = reinterpret_cast<std::uintptr_t>(info->si_addr);
    for (GuardedMapping& mapping : guardedMappings) {
        const std::uintptr_t begin = mapping.begin.load(std::memory_order_acquire);
        if (begin <= 1 || address < begin || address >= mapping.end.load(std::memory_order_acquire))
            continue;
        // The page is gone from the file: zeros in its place, and the read that faulted goes on.
        const auto pageSize = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
        void* page = reinterpret_cast<void*>(address & ~(pageSize - 1));
        if (::mmap(page, pageSize, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) != MAP_FAILED) {
            mapping.changed.store(true, std::memory_order_release);
            return;
        }
        break;
    }
    // Not ours: as without this handler.
    if (previousBusAction.sa_flags & SA_SIGINFO) {
        if (previousBusAction.sa_sigaction != nullptr) {
            previousBusAction.sa_sigaction(signal, info, context);
            return;
        }
    } else if (previousBusAction.sa_handler != SIG_DFL && previousBusAction.sa_handler != SIG_IGN &&
               previousBusAction.sa_handler != nullptr) {
        previousBusAction.sa_handler(signal);
        return;
    }
    ::signal(SIGBUS, SIG_DFL); // the fault repeats on return and ends the program
}

int guardMapping(const char* data, std::size_t size) {
    static std::once_flag installed;
    std::call_once(installed, [] {
        struct sigaction action {};
        action.sa_sigaction = onBusError;
        action.sa_flags = SA_SIGINFO;
        sigemptyset(&action.sa_mask);
        ::sigaction(SIGBUS, &action, &previousBusAction);
    });
    for (int slot = 0; slot < kGuardedMappings; ++slot) {
        GuardedMapping& mapping = guardedMappings[slot];
        std::uintptr_t free = 0;
        // Taken first (1 is no mapping's start, and a free slot's end is 0), then filled in.
        if (!mapping.begin.compare_exchange_strong(free, 1, std::memory_order_acq_rel))
            continue;
        mapping.changed.store(false, std::memory_order_release);
        mapping.end.store(reinterpret_cast<std::uintptr_t>(data) + size, std::memory_order_release);
        mapping.begin.store(reinterpret_cast<std::uintptr_t>(data), std::memory_order_release);
        return slot;
    }
    return -1;
}

} // namespace

MappedText::MappedText(UniqueFd fd, const std::string& path, std::size_t size, LineStarts starts, std::size_t longest)
    : fd_(std::move(fd)), size_(size), starts_(std::move(starts)), longest_(longest) {
    struct stat info {};
    if (::fstat(fd_.get(), &info) != 0)
        throwFileError(FileAction::Read, path, errno);
    if (static_cast<std::uint64_t>(info.st_size) != size)
        throw FileError("не може да се прочете " + path + ": файлът е променен");
    if (size == 0)
        return;
    void* mapped = ::mmap(nullptr, size, PROT_READ, MAP_SHARED, fd_.get(), 0);
    if (mapped == MAP_FAILED)
        throwFileError(FileAction::Read, path, errno);
    data_ = static_cast<const char*>(mapped);
    guard_ = guardMapping(data_, size_);
}

MappedText::~MappedText() {
    if (guard_ >= 0) {
        guardedMappings[guard_].end.store(0, std::memory_order_release);
        guardedMappings[guard_].begin.store(0, std::memory_order_release);
    }
    if (data_ != nullptr)
        ::munmap(const_cast<char*>(data_), size_);
}

bool MappedText::changed() const {
    return guard_ >= 0 && guardedMappings[guard_].changed.load(std::memory_order_acquire);
}

std::string_view MappedText::line(std::size_t index) const {
    const std::uint64_t start = starts_[index];
    const std::uint64_t end = index + 1 < starts_.size() ? starts_[index + 1] : size_;
    return {data_ + start, static_cast<std::size_t>(end - start - 2)};
}

} // namespace orva
