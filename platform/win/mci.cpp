// The MCI player: one voice of the mixer per open alias, its PCM decoded
// from the MP3 with libmpg123. Opening reads only the headers, so the
// program's start-up does not wait for the decoding; the mixer asks for the
// frames just ahead of the play position as it plays (the voice's prepare
// hook, under the mixer lock, which is also what guards the decoder), and
// what has been decoded stays for the next play. The encoder's delay and
// padding are dropped (the LAME header tells them). Without libmpg123 (the
// web build) the platform's decoder gets the whole piece ready in the
// background while the voice plays silence, and the music starts when it
// is there.
//
// A "play ... notify" is nearly always a loop: the notification's handler
// closes, reopens and plays the file again. That handler runs when the
// program next dispatches messages, which may be seconds later during a
// blocking animation, so a device that played to its end with a
// notification pending sounds on from its start ("rolling") while the
// notification waits, and a close right after hands the rolling voice to
// the next open of the same file: the loop restarts without a gap.
#include "platform/win/mci.h"


#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "platform/device/audio_output.h"
#include "platform/device/config.h"
#include "platform/device/music_decoder.h"
#include "platform/posix/files.h"
#include "platform/posix/system_file.h"
#include "platform/win/mp3_header.h"
#include "platform/media/mixer.h"
#include "platform/win/window.h"

#if __has_include(<mpg123.h>)
#include <mpg123.h>
#define QB_HAVE_MPG123 1
#endif

namespace {

#ifdef QB_HAVE_MPG123
// Decoding runs this far ahead of what a block needs, so that it happens
// in pieces of a few MP3 frames rather than at every block.
constexpr uint32_t kDecodeAheadFrames = 4096;
#endif
// How long a closed rolling device waits for an open of its file.
constexpr uint32_t kOrphanFrames = platform::kMixRate / 4;

struct MciDevice;

struct MusicVoice : platform::MixVoice {
  MciDevice* device = nullptr;
};

struct MciDevice {
  UINT id = 0;
  std::string path;
  MusicVoice voice;
  bool paused = false;
  HWND notifyWindow = nullptr;  // set while a "play ... notify" is running
  bool rolling = false;         // played to its end with a notification; sounds on
  bool takenOver = false;       // reopened from a closed rolling device
  // Under the mixer lock: closed while rolling, and the output frames it
  // may still sound for unless an open takes it over.
  bool orphan = false;
  uint32_t orphanFramesLeft = 0;
  // Under the mixer lock once the voice has been started.
  // 16-bit interleaved, grown as it is decoded up to capacity bytes (the
  // length the headers tell, which nothing allocates up front).
  std::vector<uint8_t> pcm;
  size_t capacity = 0;
  size_t decoded = 0;  // bytes of pcm filled
  bool finished = false;
  bool waiting = false;  // for the platform's decoder (the web build's) to hand over the music
#ifdef QB_HAVE_MPG123
  mpg123_handle* decoder = nullptr;
  platform::SystemFile file;  // the file the decoder reads, closed after it
  ~MciDevice() {
    if (decoder) {
      mpg123_close(decoder);
      mpg123_delete(decoder);
    }
  }
#endif
};

std::mutex& MciLock() {
  static std::mutex m;
  return m;
}
std::map<std::string, std::unique_ptr<MciDevice>>& Devices() {
  static auto* devices = new std::map<std::string, std::unique_ptr<MciDevice>>();
  return *devices;
}
UINT g_nextDeviceId = 1;

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// Splits on blanks; a double-quoted word may hold blanks.
std::vector<std::string> Words(const char* command) {
  std::vector<std::string> words;
  const char* p = command;
  while (*p) {
    while (*p && std::isspace(static_cast<unsigned char>(*p))) ++p;
    if (!*p) break;
    std::string w;
    if (*p == '"') {
      ++p;
      while (*p && *p != '"') w += *p++;
      if (*p) ++p;
    } else {
      while (*p && !std::isspace(static_cast<unsigned char>(*p))) w += *p++;
    }
    words.push_back(w);
  }
  return words;
}

// Under the mixer lock, before each block: a closed rolling device that
// nobody has taken over by now ends here (true).
bool OrphanEnds(MciDevice& d, platform::MixVoice* voice, uint32_t outputFrames) {
  if (!d.orphan) return false;
  if (d.orphanFramesLeft <= outputFrames) {
    voice->looping = false;
    voice->size = voice->frame * voice->blockAlign;
    return true;
  }
  d.orphanFramesLeft -= outputFrames;
  return false;
}

#ifdef QB_HAVE_MPG123
// The mixer's prepare hook: decodes until the frames below `frames` are
// there. The end of the data (or a damaged tail) fixes the voice's length.
void DecodeAhead(platform::MixVoice* voice, uint32_t frames, uint32_t outputFrames) {
  MciDevice& d = *static_cast<MusicVoice*>(voice)->device;
  const size_t block = voice->blockAlign;
  if (OrphanEnds(d, voice, outputFrames)) return;
  if (d.finished || d.decoded >= static_cast<size_t>(frames) * block) return;
  const size_t want = std::min(d.capacity, (static_cast<size_t>(frames) + kDecodeAheadFrames) * block);
  if (d.pcm.size() < want) {
    d.pcm.resize(std::min(d.capacity, std::max(want, d.pcm.size() * 2)));
    voice->data = d.pcm.data();
  }
  int idle = 0;
  while (d.decoded < want && !d.finished) {
    size_t done = 0;
    const int r = mpg123_read(d.decoder, d.pcm.data() + d.decoded, want - d.decoded, &done);
    d.decoded += done;
    if (r == MPG123_DONE || (r != MPG123_OK && r != MPG123_NEW_FORMAT) || (done == 0 && ++idle > 4)) d.finished = true;
  }
  if (d.decoded >= d.capacity) d.finished = true;
  if (d.finished) {
    voice->size = static_cast<uint32_t>(d.decoded - d.decoded % block);
    if (voice->size == 0) voice->size = static_cast<uint32_t>(block);  // one silent frame, then the end
  }
}
#endif

#ifndef QB_HAVE_MPG123
// What a voice waiting for its music plays: silence, longer than what one
// block of the mixer reads, so that it never comes to its end or wraps.
constexpr uint8_t kSilence[4 * 1024] = {};

// The mixer's prepare hook while the platform's decoder gets the music
// ready: the voice stays at the start of its silence until the music is
// handed over, then plays the music from its start. Music that cannot be
// had ends the voice (its notification's reopen then fails at once).
void TakeWhenDecoded(platform::MixVoice* voice, uint32_t, uint32_t outputFrames) {
  MciDevice& d = *static_cast<MusicVoice*>(voice)->device;
  if (OrphanEnds(d, voice, outputFrames) || !d.waiting) return;
  voice->frame = 0;
  voice->fraction = 0;
  platform::DecodedMusic music;
  const platform::MusicState state = platform::TakeDecodedMusic(d.path, &music);
  if (state == platform::MusicState::kPending) return;
  d.waiting = false;
  const size_t block = static_cast<size_t>(music.channels) * 2;
  if (state == platform::MusicState::kFailed || music.frames == 0 || music.channels == 0 ||
      music.frames * block > platform::kMaxMusicBytes || music.pcm.size() != music.frames * block) {
    platform::ReportUnloadable("music", d.path.c_str());
    voice->looping = false;
    voice->size = voice->blockAlign;  // one silent frame, then the end
    return;
  }
  d.pcm = std::move(music.pcm);  // ten megabytes for a few minutes: not copied
  d.capacity = d.decoded = d.pcm.size();
  d.finished = true;
  voice->data = d.pcm.data();
  voice->size = static_cast<uint32_t>(d.pcm.size());
  voice->channels = music.channels;
  voice->blockAlign = static_cast<uint32_t>(block);
  voice->frequency = music.rate;
}
#endif

// Reads the headers and sets the voice up; the samples come as it plays.
MCIERROR Prepare(const std::string& path, MciDevice* device) {
#ifdef QB_HAVE_MPG123
  if (!platform::Mp3LibraryReady()) return MCIERR_CANNOT_LOAD_DRIVER;
  int error = 0;
  mpg123_handle* mh = mpg123_new(nullptr, &error);
  if (!mh) return MCIERR_CANNOT_LOAD_DRIVER;
  device->decoder = mh;
  // A regular file of a sensible size only: a FIFO would block the open.
  device->file = platform::SystemFile::OpenForReading(path);
  const int64_t size = device->file.Size();
  if (size < 0) return MCIERR_FILE_NOT_FOUND;
  if (static_cast<unsigned long long>(size) > platform::kMaxMusicFile) {
    std::fprintf(stderr, "%s: \"%s\" is larger than %zu bytes; not played\n", platform::ProgramName().c_str(),
                 path.c_str(), platform::kMaxMusicFile);
    return MCIERR_INVALID_FILE;
  }
  if (mpg123_open_fd(mh, device->file.Descriptor()) != MPG123_OK) return MCIERR_FILE_NOT_FOUND;
  platform::Mp3Format format;
  const platform::Mp3Check check = platform::ReadMp3Format(mh, &format);
  if (check == platform::Mp3Check::kTooLong)
    std::fprintf(stderr, "%s: \"%s\" decodes to more than %llu bytes; not played\n", platform::ProgramName().c_str(),
                 path.c_str(), static_cast<unsigned long long>(platform::kMaxMusicBytes));
  if (check != platform::Mp3Check::kOk) return MCIERR_INVALID_FILE;
  const long rate = format.rate;
  const int channels = format.channels;
  const size_t block = static_cast<size_t>(channels) * 2;
  device->capacity = static_cast<size_t>(format.frames) * block;
  platform::MixVoice& v = device->voice;
  v.data = nullptr;  // set by the first decoding, before the mixer reads any frame
  v.size = static_cast<uint32_t>(device->capacity);
  v.channels = static_cast<uint32_t>(channels);
  v.bits = 16;
  v.blockAlign = static_cast<uint32_t>(block);
  v.frequency = static_cast<uint32_t>(rate);
  v.prepare = DecodeAhead;
  device->voice.device = device;
  return 0;
#else
  // Without libmpg123 (the web build) the platform may get the music ready
  // in the background (the page fetches it, the browser decodes it). The
  // program goes on at once: the voice plays silence until the music is
  // there, then the music from its start (TakeWhenDecoded).
#ifndef _WIN32
  if (!&platform::StartMusicDecode || !&platform::TakeDecodedMusic) return MCIERR_CANNOT_LOAD_DRIVER;
#endif
  if (!platform::StartMusicDecode(path)) return MCIERR_FILE_NOT_FOUND;
  device->path = path;  // what the hook asks for
  device->waiting = true;
  platform::MixVoice& v = device->voice;
  v.data = kSilence;
  v.size = sizeof kSilence;
  v.channels = 2;
  v.bits = 16;
  v.blockAlign = 4;
  v.frequency = platform::kMixRate;
  v.prepare = TakeWhenDecoded;
  device->voice.device = device;
  return 0;
#endif
}

// Runs after the mix (on the audio thread, or the waiting thread with the
// virtual clock) when the music played to its end.
void OnMusicEnd(void* user) {
  UINT id = static_cast<UINT>(reinterpret_cast<uintptr_t>(user));
  HWND window = nullptr;
  {
    std::lock_guard<std::mutex> lock(MciLock());
    for (auto& [alias, device] : Devices()) {
      if (device->id == id && device->notifyWindow) {
        window = device->notifyWindow;
        device->notifyWindow = nullptr;
        device->rolling = true;
      }
    }
  }
  if (window) PostMessageA(window, MM_MCINOTIFY, MCI_NOTIFY_SUCCESSFUL, static_cast<LPARAM>(id));
}

void StopVoice(MciDevice& device) {
  std::lock_guard<std::mutex> lock(platform::Mixer::Get().Lock());
  platform::Mixer::Get().StopLocked(&device.voice);
}

// A closed device still rolling; at most one.
std::unique_ptr<MciDevice>& Orphan() {
  static auto* orphan = new std::unique_ptr<MciDevice>();
  return *orphan;
}

void DropOrphan() {
  if (!Orphan()) return;
  StopVoice(*Orphan());
  Orphan().reset();
}

// The orphan, when it is this file and still sounding, taken back open.
std::unique_ptr<MciDevice> Adopt(const std::string& path) {
  std::unique_ptr<MciDevice> device;
  if (Orphan() && Orphan()->path == path) {
    std::lock_guard<std::mutex> mix(platform::Mixer::Get().Lock());
    if (Orphan()->voice.playing) {
      device = std::move(Orphan());
      device->orphan = false;
      device->takenOver = true;
    }
  }
  DropOrphan();
  return device;
}

MCIERROR Open(const std::vector<std::string>& w) {
  if (w.size() < 4) return MCIERR_MISSING_PARAMETER;
  if (w.size() > 4 || Lower(w[2]) != "alias") return MCIERR_UNRECOGNIZED_KEYWORD;
  std::string alias = Lower(w[3]);
  if (Devices().count(alias)) return MCIERR_DUPLICATE_ALIAS;
  const std::string path = platform::MapPath(w[1].c_str());
  std::unique_ptr<MciDevice> device = Adopt(path);
  if (!device) {
    device = std::make_unique<MciDevice>();
    if (MCIERROR e = Prepare(path, device.get())) {
      platform::ReportUnloadable("music", w[1].c_str());
      return e;
    }
    device->path = path;
    device->voice.onEnd = OnMusicEnd;
  }
  device->id = g_nextDeviceId++;
  {
    std::lock_guard<std::mutex> mix(platform::Mixer::Get().Lock());
    device->voice.user = reinterpret_cast<void*>(static_cast<uintptr_t>(device->id));
  }
  Devices()[alias] = std::move(device);
  return 0;
}

}  // namespace

MCIERROR mciSendStringA(const char* command, char* returnString, UINT returnLength, HWND callback) {
  if (returnString && returnLength) returnString[0] = '\0';
  if (!command) return MCIERR_MISSING_COMMAND_STRING;
  std::vector<std::string> w = Words(command);
  if (w.empty()) return MCIERR_MISSING_COMMAND_STRING;
  std::string verb = Lower(w[0]);
  // Before the player's lock: the output's virtual-time renderer calls back
  // into the player (the end of the music) with its own locks held.
  if (verb == "open") platform::EnsureAudioOutput();
  std::lock_guard<std::mutex> lock(MciLock());
  if (verb == "open") return Open(w);
  if (verb != "play" && verb != "pause" && verb != "resume" && verb != "close") return MCIERR_UNRECOGNIZED_COMMAND;
  if (w.size() < 2) return MCIERR_MISSING_PARAMETER;
  auto it = Devices().find(Lower(w[1]));
  if (it == Devices().end()) return MCIERR_INVALID_DEVICE_NAME;
  MciDevice& device = *it->second;
  bool notify = w.size() == 3 && verb == "play" && Lower(w[2]) == "notify";
  if (w.size() > 2 && !notify) return MCIERR_UNRECOGNIZED_KEYWORD;

  if (verb == "play") {
    // Plays on from where it is: after a pause, or from the start once it
    // has played to its end.
    device.paused = false;
    device.notifyWindow = notify ? callback : nullptr;
    std::lock_guard<std::mutex> mix(platform::Mixer::Get().Lock());
    if (device.rolling && !device.takenOver) {
      // Played again on the same device after its end: from the start.
      device.voice.frame = 0;
      device.voice.fraction = 0;
    }
    device.rolling = device.takenOver = false;
    // A play that will be told of its end sounds on past it (rolling).
    device.voice.looping = notify;
    platform::Mixer::Get().StartLocked(&device.voice);
  } else if (verb == "pause") {
    std::lock_guard<std::mutex> mix(platform::Mixer::Get().Lock());
    if (device.voice.playing) {
      platform::Mixer::Get().StopLocked(&device.voice);
      device.paused = true;
    }
  } else if (verb == "resume") {
    if (device.paused) {
      device.paused = false;
      std::lock_guard<std::mutex> mix(platform::Mixer::Get().Lock());
      platform::Mixer::Get().StartLocked(&device.voice);
    }
  } else {  // close: a pending notification is dropped, not posted as aborted
    std::unique_ptr<MciDevice> closing = std::move(it->second);
    Devices().erase(it);
    DropOrphan();
    if (closing->rolling && !closing->paused) {
      std::lock_guard<std::mutex> mix(platform::Mixer::Get().Lock());
      if (closing->voice.playing) {
        closing->orphan = true;
        closing->orphanFramesLeft = kOrphanFrames;
        Orphan() = std::move(closing);
        return 0;
      }
    }
    StopVoice(*closing);
  }
  return 0;
}
