#pragma once

// Whether the program's standard error is a terminal someone watches.
namespace Terminal {

bool StandardErrorIsTerminal();

} // namespace Terminal
