// Linked into every shipped Windows file (not through a library, so that these
// definitions come before the C++ runtime's own).
//
// The runtime's default handlers are built for programs with a console: the
// terminate handler demangles the exception's type name for stderr, and the
// functions behind a container's length or range error build std::logic_error
// objects of the old string type, which brings a second copy of every string
// function. Neither reaches a user of a tray program or a library. Nothing in
// these programs catches those errors, so ending the process at once, as the
// runtime would after printing, is the same behaviour at a fraction of the size.
// Allocation failures still throw std::bad_alloc, which the code does catch.
#include <cstdlib>
#include <new>

namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx

namespace std {
void __throw_bad_alloc() { throw std::bad_alloc(); }
void __throw_bad_cast() { std::abort(); }
void __throw_bad_typeid() { std::abort(); }
void __throw_bad_exception() { std::abort(); }
void __throw_domain_error(const char*) { std::abort(); }
void __throw_range_error(const char*) { std::abort(); }
void __throw_runtime_error(const char*) { std::abort(); }
void __throw_overflow_error(const char*) { std::abort(); }
void __throw_underflow_error(const char*) { std::abort(); }
void __throw_length_error(const char*) { std::abort(); }
void __throw_logic_error(const char*) { std::abort(); }
void __throw_out_of_range(const char*) { std::abort(); }
void __throw_out_of_range_fmt(const char*, ...) { std::abort(); }
void __throw_invalid_argument(const char*) { std::abort(); }
void __throw_bad_function_call() { std::abort(); }
void __throw_bad_array_new_length() { std::abort(); }
}  // namespace std
