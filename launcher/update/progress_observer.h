#pragma once
// A seam for tests: sees every percentage handed to ShowUpdateProgress, on the reporting thread
// and before coalescing, so a test can check the exact sequence a worker reports. An empty
// function removes the observer.
#include <functional>

void SetProgressObserver(std::function<void(float)> observer);
