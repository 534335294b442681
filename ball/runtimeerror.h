#pragma once

#include <stdexcept>

namespace zorbel {

// The one kind of error the program throws: a run-time error that ends it
// through the fatal-error path. Nothing recovers from one, whether it comes
// from the ball's arithmetic, a missing resource or a broken picture.
class RuntimeError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace zorbel
