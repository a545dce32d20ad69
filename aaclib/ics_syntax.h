// The individual channel stream: ics_info with LTP data, sections, scalefactors, pulses,
// TNS, gain control and the spectral data.
#pragma once

#include "aaclib/aac_syntax.h"

namespace zbaac {

class BitReader;

// Noise energies and intensity positions must stay within this magnitude so that the
// gains 2^(e/4) and 0.5^(p/4) of the stereo and noise tools stay finite floats.
constexpr int kMaxNoiseOrIntensityMagnitude = 511;

// Reads ics_info into `info` and the channel's prediction data into `ltp`. For a channel
// pair with a common window `rightLtp` receives the right channel's prediction data, which
// follow the left one's inside ics_info; pass nullptr otherwise. Fails when max_sfb exceeds
// the band count of the layout, and on Main-profile prediction (when the object type says
// Main).
Outcome ParseIcsInfo(BitReader& reader, const SyntaxState& state, IcsInfo& info,
                                 LtpData& ltp, LtpData* rightLtp);

// Reads one individual_channel_stream into `channel`. With `commonWindow` the channel's
// info (and ltp) must already be set from the pair's shared ics_info; otherwise ics_info is
// read here. `errorFlag` is raised (never cleared) by pulse data in a short window and by
// gain control data. The spectrum is cleared first.
Outcome ParseChannelStream(BitReader& reader, const SyntaxState& state,
                                       ChannelStream& channel, bool commonWindow, bool& errorFlag);

// Parts of the channel stream, exposed for tests; they assume `channel.info` and the layout
// fields are set.
Outcome ParseSectionData(BitReader& reader, ChannelStream& channel);
Outcome ParseScalefactorData(BitReader& reader, ChannelStream& channel);
void ParseTnsData(BitReader& reader, ChannelStream& channel);
// Sets the band layout fields of `channel` from the sampling index and its window sequence.
void SetChannelLayout(int samplingIndex, ChannelStream& channel);

}  // namespace zbaac
