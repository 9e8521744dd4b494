#pragma once

// Unit scWaveStorage: the wave container over a byte stream and the storage of numbered wave items.
#include "audio/CustomWaveStorage.h"
#include "audio/WaveStreamAdapter.h"
