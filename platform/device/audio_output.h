// Where the mixer's output goes, chosen by QB_AUDIO: "sdl" (the default; the
// null output when the machine has no audio device), "null", "wav:PATH"
// (the mixed output as a 16-bit stereo PCM WAV file) or, in the web build,
// "web" (the page's Web Audio). With the virtual clock
// the output renders exactly the frames of each elapsed virtual millisecond
// from the clock's listener, and waits after every block that signalled an
// event until the sound threads have done their work, so a run is exact and
// repeatable. With the real clock it renders on its own thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace platform {

class AudioOutput {
 public:
  virtual ~AudioOutput() = default;
};

// How the virtual-time output waits, after a block that signalled events,
// until the threads those events woke have done their work (false when
// realTimeoutMs of steady time passed first). Set by whoever starts such
// threads (platform/win/sync.cpp); until then there is nothing to wait for.
void SetSignalledWorkWait(bool (*wait)(uint32_t realTimeoutMs));

// Whether QB_AUDIO may name this output ("sdl", "null", "wav:PATH").
bool IsAudioOutputName(const std::string& choice);

// Opens the output named by QB_AUDIO unless one is open. Never fails: an
// output that cannot start falls back to null (with a note on stderr).
void EnsureAudioOutput();

// Closes the current output (finishing its file) and opens the one named
// by choice ("sdl", "null", "wav:PATH"); null means QB_AUDIO. For tests
// that capture the output of one part of a run.
void OpenAudioOutput(const char* choice);
void CloseAudioOutput();

// The SDL device, opened with a callback that pulls from the mixer; null
// when the machine has no audio device. Defined in platform/sdl/.
std::unique_ptr<AudioOutput> CreateSdlAudioOutput();
// Windows' own output (waveOut); defined only in the Windows build (platform/win32/).
std::unique_ptr<AudioOutput> CreateWin32AudioOutput();
// Web Audio in a browser page; defined only in the web build (platform/web/).
[[gnu::weak]] std::unique_ptr<AudioOutput> CreateWebAudioOutput();

}  // namespace platform
