#include "outside/tonemeter2/audio_player2.h"

#include <algorithm>
#include <typeinfo>
#include <limits>

#include "platform/com/bstr_text.h"

namespace tonemeter {
namespace {

LONG toLong(int64_t v) { return static_cast<LONG>(std::clamp<int64_t>(v, 0, std::numeric_limits<LONG>::max())); }

// GetState through IDispatch: IDispatch carries no records, so the call
// answers the status alone as its I4 result.
HRESULT getStateStatus(void* object, void* const* args) {
  LONG* status = *static_cast<LONG* const*>(args[0]);
  AudioPlayer2State state{};
  HRESULT hr = static_cast<IAudioPlayer2*>(object)->GetState(&state);
  if (SUCCEEDED(hr) && status != nullptr) *status = state.status;
  return hr;
}

}  // namespace

void AudioPlayer2::Forwarder::moreSamplesWanted() { relay_->post(kPlayerEventMoreWanted, {}); }
void AudioPlayer2::Forwarder::position(int64_t frames_played, int left_level, int right_level) {
  relay_->post(kPlayerEventPosition, {toLong(frames_played), left_level, right_level}, /*coalesce=*/true);
}
void AudioPlayer2::Forwarder::endOfStream() { relay_->post(kPlayerEventEnd, {}); }

AudioPlayer2::AudioPlayer2() : AudioPlayer2(makeDefaultSink()) {}

AudioPlayer2::AudioPlayer2(std::unique_ptr<AudioSink> sink)
    : relay_(com::make<EventRelay>(DIID_IAudioPlayer2Events, this)),
      forwarder_(relay_.get()),
      sink_(sink.get()),
      core_(std::make_unique<PlayerCore>(std::move(sink), &forwarder_)) {}

AudioPlayer2::~AudioPlayer2() {
  core_.reset();
  relay_->shutdown();
}

HRESULT AudioPlayer2::get_OutputName(BSTR* name) { return com::PutBstr(sink_->outputName(), name); }

HRESULT AudioPlayer2::Play() {
  sink_->open();  // here rather than on the render thread, which holds the core's lock
  if (!core_->play()) return E_FAIL;
  relay_->post(kPlayerEventStarted, {});
  return S_OK;
}

HRESULT AudioPlayer2::Stop() {
  core_->stop();
  return S_OK;
}

HRESULT AudioPlayer2::WriteSamples(SAFEARRAY* samples) {
  HRESULT hr = com::checkVector(samples, VT_I2);
  if (FAILED(hr)) return hr;
  int16_t* data = nullptr;
  hr = SafeArrayAccessData(samples, reinterpret_cast<void**>(&data));
  if (FAILED(hr)) return hr;
  const bool queued = core_->writeSamples(data, samples->rgsabound[0].cElements);
  SafeArrayUnaccessData(samples);
  return queued ? S_OK : E_FAIL;
}

HRESULT AudioPlayer2::Flush() {
  core_->flush();
  return S_OK;
}

HRESULT AudioPlayer2::SetFormat(LONG sampleRateHz, LONG channels) {
  if (!core_->setFormat(sampleRateHz, channels)) return E_INVALIDARG;
  sink_->open();
  rateHz_.store(sampleRateHz);
  channels_.store(channels);
  return S_OK;
}

HRESULT AudioPlayer2::SetBufferTime(LONG ms, LONG* msInEffect) {
  if (msInEffect == nullptr) return E_POINTER;
  *msInEffect = core_->setBufferTime(ms);
  bufferMs_.store(*msInEffect);
  return S_OK;
}

HRESULT AudioPlayer2::get_samplesPlayed(LONG* frames) {
  if (frames == nullptr) return E_POINTER;
  *frames = toLong(core_->state().played_frames);
  return S_OK;
}

HRESULT AudioPlayer2::get_samplesQueued(LONG* frames) {
  if (frames == nullptr) return E_POINTER;
  *frames = toLong(core_->state().queued_frames);
  return S_OK;
}

HRESULT AudioPlayer2::get_isPlaying(VARIANT_BOOL* playing) {
  if (playing == nullptr) return E_POINTER;
  *playing = core_->state().playing ? VARIANT_TRUE : VARIANT_FALSE;
  return S_OK;
}

HRESULT AudioPlayer2::GetState(AudioPlayer2State* state) {
  if (state == nullptr) return E_POINTER;
  const PlayerState s = core_->state();
  *state = AudioPlayer2State{s.status,          s.playing ? 1 : 0, toLong(s.queued_frames), toLong(s.played_frames),
                             bufferMs_.load(),  rateHz_.load(),    channels_.load()};
  return S_OK;
}

HRESULT AudioPlayer2::FindConnectionPoint(REFIID riid, IConnectionPoint** ppCP) {
  if (ppCP == nullptr) return E_POINTER;
  *ppCP = nullptr;
  if (!(riid == DIID_IAudioPlayer2Events)) return CONNECT_E_NOCONNECTION;
  return relay_.copyTo(reinterpret_cast<EventRelay**>(ppCP)) == S_OK ? S_OK : E_UNEXPECTED;
}

const com::DispatchTable& AudioPlayer2::dispatchTable() {
  using I = IAudioPlayer2;
  using GetStateInfo = com::detail::Member<&I::GetState>;
#define RM_RESERVED(n) com::method<&I::Reserved##n>("Reserved" #n, n - 6)
  static const com::DispatchTable table(IID_IAudioPlayer2, {
      com::propget<&I::get_OutputName>("OutputName", 0x1),
      com::method<&I::Play>("Play", 0x2),
      com::method<&I::Stop>("Stop", 0x3),
      com::method<&I::WriteSamples>("WriteSamples", 0x4),
      com::method<&I::Flush>("Flush", 0x5),
      com::method<&I::SetFormat>("SetFormat", 0x6),
      com::method<&I::SetBufferTime>("SetBufferTime", 0x7),
      com::propget<&I::get_samplesPlayed>("samplesPlayed", 0x8),
      com::propget<&I::get_samplesQueued>("samplesQueued", 0x9),
      com::propget<&I::get_isPlaying>("isPlaying", 0xa, {VT_BOOL}),
      RM_RESERVED(17), RM_RESERVED(18), RM_RESERVED(19), RM_RESERVED(20), RM_RESERVED(21), RM_RESERVED(22),
      RM_RESERVED(23), RM_RESERVED(24), RM_RESERVED(25), RM_RESERVED(26), RM_RESERVED(27), RM_RESERVED(28),
      RM_RESERVED(29),
      // The record travels by pointer through proxies (the caller waits);
      // through IDispatch it is the status alone.
      com::detail::makeMember("GetState", 0x18, com::MemberKind::method,
                              {com::ParamDesc{VT_I4, com::ParamMode::retval, nullptr}}, {}, &getStateStatus,
                              reinterpret_cast<void*>(&GetStateInfo::thunk), GetStateInfo::slot(),
                              &typeid(I)),
  });
#undef RM_RESERVED
  return table;
}

}  // namespace tonemeter
