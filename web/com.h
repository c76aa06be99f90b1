// There is no COM here; the pairing of initialise and uninitialise is kept per thread so that
// every web request can be seen to balance its calls.
#pragma once

namespace tarnwick {

// Results as COM gives them: 0 for the first initialisation on a thread, 1 for a repeated one.
long CoInitialize();
void CoUninitialize();

// How many initialisations the calling thread holds; 0 when balanced.
int ComInitDepth();

}  // namespace tarnwick
