#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace orva::testing {

// The exception of type ExceptionType that `statement` throws; nothing, and a failure at `file`:`line`,
// when it throws none. Any other exception passes through and fails the test.
template <typename ExceptionType, typename Statement>
std::optional<ExceptionType> thrownBy(Statement&& statement, const char* typeName, const char* file, int line) {
    try {
        statement();
    } catch (const ExceptionType& thrown) {
        return thrown;
    }
    ADD_FAILURE_AT(file, line) << "no " << typeName << " thrown";
    return std::nullopt;
}

} // namespace orva::testing

#define THROWN_BY(statement, ExceptionType)                                                                            \
    ::orva::testing::thrownBy<ExceptionType>([&] { statement; }, #ExceptionType, __FILE__, __LINE__)

// Expects `statement` to throw ExceptionType whose what() is exactly `expectedMessage`.
#define EXPECT_THROW_MSG(statement, ExceptionType, expectedMessage)                                                    \
    do {                                                                                                               \
        if (const auto thrown_ = THROWN_BY(statement, ExceptionType)) {                                                \
            EXPECT_EQ(std::string(thrown_->what()), std::string(expectedMessage)) << "from: " #statement;              \
        }                                                                                                              \
    } while (false)
