#include "ripmarrow/rip_report.h"

#include "ripmarrow/engine_session.h"

namespace ripmarrow {
namespace {

constexpr DISPID kTrackCopyCrc = 0x7;
constexpr DISPID kTrackCopyCrcSkipZero = 0x8;
constexpr DISPID kTrackAccurateRipV1 = 0x9;
constexpr DISPID kTrackAccurateRipV2 = 0xa;
constexpr DISPID kTrackAccurateRipFrame450 = 0xb;
constexpr DISPID kAccurateRipId1 = 0xc;
constexpr DISPID kAccurateRipId2 = 0xd;
constexpr DISPID kMusicBrainzDiscId = 0xe;
constexpr DISPID kTrackStartLba = 0xf;
constexpr DISPID kLeadOutLba = 0x10;
constexpr DISPID kReadOffsetSamples = 0x11;
constexpr DISPID kRipRangeToAudioFile2Format = 0x70;

VARIANT longVariant(long value) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_I4;
  v.lVal = static_cast<LONG>(value);
  return v;
}

}  // namespace

RipReport::RipReport(IAudioCDRipper2* engine) : engine_(engine) {
  if (FAILED(engine->QueryInterface(IID_IAudioCDRipperReport, report_.putVoid()))) report_ = {};
}

std::optional<uint32_t> RipReport::get(DISPID id, std::optional<long> argument) const {
  if (!report_) return std::nullopt;
  VARIANT arg = longVariant(argument.value_or(0));
  DISPPARAMS params{argument ? &arg : nullptr, nullptr, argument ? 1u : 0u, 0};
  VARIANT result;
  VariantInit(&result);
  if (FAILED(report_->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYGET, &params, &result, nullptr, nullptr))) {
    VariantClear(&result);
    return std::nullopt;
  }
  std::optional<uint32_t> value;
  if (result.vt == VT_I4) value = static_cast<uint32_t>(result.lVal);
  VariantClear(&result);
  return value;
}

std::optional<TrackProof> RipReport::lastTrack() const {
  const auto copy = get(kTrackCopyCrc);
  const auto skipZero = get(kTrackCopyCrcSkipZero);
  const auto v1 = get(kTrackAccurateRipV1);
  const auto v2 = get(kTrackAccurateRipV2);
  const auto frame450 = get(kTrackAccurateRipFrame450);
  if (!copy || !skipZero || !v1 || !v2 || !frame450) return std::nullopt;
  return TrackProof{*copy, *skipZero, *v1, *v2, *frame450};
}

std::optional<uint32_t> RipReport::accurateRipId1() const { return get(kAccurateRipId1); }
std::optional<uint32_t> RipReport::accurateRipId2() const { return get(kAccurateRipId2); }

std::string RipReport::musicBrainzDiscId() const {
  if (!report_) return {};
  DISPPARAMS none{};
  VARIANT result;
  VariantInit(&result);
  std::string id;
  if (SUCCEEDED(report_->Invoke(kMusicBrainzDiscId, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr,
                                nullptr)) &&
      result.vt == VT_BSTR) {
    id = takeText(result.bstrVal);
    result.vt = VT_EMPTY;  // taken
  }
  VariantClear(&result);
  return id;
}

std::optional<engine::verify::DiscLayout> RipReport::audioLayout(long audioTracks) const {
  engine::verify::DiscLayout layout;
  for (long t = 1; t <= audioTracks; ++t) {
    const auto start = get(kTrackStartLba, t);
    if (!start) return std::nullopt;
    layout.tracks.push_back({static_cast<uint8_t>(t), *start, false});
  }
  const auto leadOut = get(kLeadOutLba);
  if (!leadOut) return std::nullopt;
  layout.leadOutLba = *leadOut;
  return layout;
}

std::optional<long> RipReport::readOffsetSamples() const {
  const auto value = get(kReadOffsetSamples);
  if (!value) return std::nullopt;
  return static_cast<int32_t>(*value);
}

bool RipReport::putReadOffsetSamples(long samples) const {
  if (!report_) return false;
  VARIANT value = longVariant(samples);
  DISPID named = DISPID_PROPERTYPUT;
  DISPPARAMS params{&value, &named, 1, 1};
  return SUCCEEDED(report_->Invoke(kReadOffsetSamples, IID_NULL, 0, DISPATCH_PROPERTYPUT, &params, nullptr, nullptr,
                                   nullptr));
}

HRESULT RipReport::ripRangeToAudioFile2Format(long firstLba, long frames, const std::string& path) const {
  // IDispatch takes the arguments last first.
  VARIANT args[3];
  VariantInit(&args[0]);
  args[0].vt = VT_BSTR;
  args[0].bstrVal = makeBstr(path);
  args[1] = longVariant(frames);
  args[2] = longVariant(firstLba);
  DISPPARAMS params{args, nullptr, 3, 0};
  const HRESULT hr =
      engine_->Invoke(kRipRangeToAudioFile2Format, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
  VariantClear(&args[0]);
  return hr;
}

}  // namespace ripmarrow
