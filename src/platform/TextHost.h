// What the text services take from the host system. Internal to the platform layer.
#pragma once

namespace platform {

// Lower and upper case of one character beyond ASCII (and outside the escape
// range), the same on every machine whatever the user's locale.
char32_t hostLowerChar(char32_t cp);
char32_t hostUpperChar(char32_t cp);

}  // namespace platform
