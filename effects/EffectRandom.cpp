#include "effects/EffectRandom.h"

namespace tolm {
namespace {

std::mutex& GeneratorMutex() {
    static std::mutex mutex;
    return mutex;
}

// Guarded by GeneratorMutex().
std::uint32_t generatorState = 0;

}  // namespace

std::uint32_t EffectRandom(std::uint32_t range) {
    EffectRandomStream stream;
    return stream.Draw(range);
}

EffectRandomStream::EffectRandomStream() : lock_(GeneratorMutex()), state_(generatorState) {}

EffectRandomStream::~EffectRandomStream() {
    generatorState = state_;
}

void ResetEffectRandom(std::uint32_t state) {
    std::lock_guard<std::mutex> lock(GeneratorMutex());
    generatorState = state;
}

}  // namespace tolm
