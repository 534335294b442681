#include "pulse.h"

#include <dlfcn.h>

#include <cstdio>
#include <optional>
#include <string>
#include <type_traits>

namespace zorbel::sound {
namespace {

// Binds every function of the table, or names the first that is missing.
std::optional<Pulse> resolve(void *library, std::string &error)
{
    Pulse pa {};
    const auto bind = [&](auto &function, const char *name) {
        function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(dlsym(library, name));
        if (!function && error.empty())
            error = std::string("libpulse.so.0 lacks ") + name;
    };
#define ZORBEL_PULSE_BIND(name) bind(pa.name, "pa_" #name);
    ZORBEL_PULSE_FUNCTIONS(ZORBEL_PULSE_BIND)
#undef ZORBEL_PULSE_BIND
    if (!error.empty())
        return std::nullopt;
    return pa;
}

} // namespace

const Pulse *loadPulse()
{
    static const std::optional<Pulse> pulse = []() -> std::optional<Pulse> {
        std::string error;
        std::optional<Pulse> table;
        if (void *library = dlopen("libpulse.so.0", RTLD_NOW | RTLD_LOCAL))
            table = resolve(library, error);
        else if (const char *why = dlerror())
            error = why;
        if (!table)
            std::fprintf(stderr, "Zorbel: no sound: libpulse cannot be loaded (%s); the sound cues stay silent\n",
                         error.c_str());
        return table;
    }();
    return pulse ? &*pulse : nullptr;
}

} // namespace zorbel::sound
