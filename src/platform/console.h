// The console the program writes to.
#pragma once

namespace plat {

// Lets the console show the UTF-8 text the program writes: on Windows the
// console's output code page becomes UTF-8 until the program exits; other
// terminals take UTF-8 as it comes.
void prepare_console();

}  // namespace plat
