#pragma once

#include <functional>
#include <string>

// Where a program of the GUI subsystem writes lines for a person at a prompt: its standard
// output when it was given one (a pipe, a file), else the console of the program that started
// it, else a console of its own.
std::function<void(const std::wstring& line)> ConsoleLineWriter();
