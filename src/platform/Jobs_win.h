#pragma once
// Work handed to a thread of its own: a job this thread waits for while it keeps answering the
// messages other threads send it, and a job left to run on a thread that has COM ready.

#include <windows.h>

#include <functional>

bool RunServingSentMessages(const std::function<void()>& job);
bool StartComJob(std::function<void()> job);
