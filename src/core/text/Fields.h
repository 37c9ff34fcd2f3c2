#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace orva {

// Cuts a fixed-width record from the left. Each step takes up to `take` characters as the
// next field and then drops `remove` characters; running past the end yields shorter or
// empty fields and is never a failure.
class FieldCutter {
public:
    explicit FieldCutter(std::string_view record) : rest_(record) {}

    std::string_view next(std::size_t take, std::size_t remove) {
        std::string_view field = rest_.substr(0, take < rest_.size() ? take : rest_.size());
        rest_.remove_prefix(remove < rest_.size() ? remove : rest_.size());
        return field;
    }
    std::string_view next(std::size_t width) { return next(width, width); }
    std::string_view rest() const { return rest_; }

private:
    std::string_view rest_;
};

// The rightmost `width` characters of `text`, or all of it when it is shorter.
inline std::string_view rightmost(std::string_view text, std::size_t width) {
    return text.size() > width ? text.substr(text.size() - width) : text;
}

} // namespace orva
