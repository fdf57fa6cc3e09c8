// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#pragma once

// What a ring does to the output it plays on, and what it puts back after:
// plain decisions on plain values, free of the sound server, so that the
// audio module acts on them and the tests check them alike.

#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

namespace OutputVolumeRules {

// The server's full volume (100 %). Its scale is cubic: 20 % is about -42 dB,
// 50 % about -18 dB.
constexpr std::uint32_t fullVolume = 0x10000;
// Below this the ring is not heard across a quiet bedroom...
constexpr int quietestPercent = 20;
// ...and at this it is, without being a fright at night.
constexpr int ringPercent = 50;

// A sink's mute and the volume of each of its channels.
struct SinkSetting
{
    bool muted = false;
    std::vector<std::uint32_t> channels;

    bool operator==(const SinkSetting &) const = default;
};

// The user's own setting and what the ring set in its place.
struct Raised
{
    SinkSetting user;
    SinkSetting set;

    bool operator==(const Raised &) const = default;
};

// A volume in whole percent, rounded as the desktop's volume controls show it.
inline int percentShown(std::uint32_t volume)
{
    return int((std::uint64_t(volume) * 100 + fullVolume / 2) / fullVolume);
}

// The volume is what the channels are heard at: the loudest.
inline std::uint32_t loudest(const SinkSetting &s)
{
    return s.channels.empty() ? 0 : *std::max_element(s.channels.begin(), s.channels.end());
}

inline bool sameMute(const SinkSetting &a, const SinkSetting &b)
{
    return a.muted == b.muted;
}

// A server may round what it stores by a unit or two; a volume control
// moves by a whole percent at the least.
inline bool sameVolume(const SinkSetting &a, const SinkSetting &b)
{
    constexpr std::uint32_t closeEnough = fullVolume / 200;
    return a.channels.size() == b.channels.size()
            && std::equal(a.channels.begin(), a.channels.end(), b.channels.begin(),
                          [](std::uint32_t x, std::uint32_t y) {
                              return (x > y ? x - y : y - x) <= closeEnough;
                          });
}

// What the ring needs: sound, and a volume that can be heard. A quiet sink
// is lifted as its own volume control would lift it, keeping the balance.
inline SinkSetting ringSetting(const SinkSetting &now)
{
    SinkSetting ring = now;
    ring.muted = false;
    const std::uint32_t top = loudest(now);
    if (percentShown(top) >= quietestPercent)
        return ring;
    const std::uint64_t target = std::uint64_t(fullVolume) * ringPercent / 100;
    for (std::uint32_t &c : ring.channels)
        c = std::uint32_t(top == 0 ? target : (c * target + top / 2) / top);
    return ring;
}

// The user's own setting: what the sink shows, except where it still shows
// what an earlier raise set, which stands for what the user had before it.
inline SinkSetting usersSetting(const SinkSetting &now, const std::optional<Raised> &earlier)
{
    SinkSetting user = now;
    if (earlier && sameMute(now, earlier->set))
        user.muted = earlier->user.muted;
    if (earlier && sameVolume(now, earlier->set))
        user.channels = earlier->user.channels;
    return user;
}

// What to remember for a ring on a sink that shows `now`; nothing when the
// ring leaves the user's setting as it is.
inline std::optional<Raised> raise(const SinkSetting &now, const std::optional<Raised> &earlier)
{
    Raised raised{usersSetting(now, earlier), ringSetting(now)};
    if (sameMute(raised.user, raised.set) && sameVolume(raised.user, raised.set))
        return std::nullopt;
    return raised;
}

// After the ring, for the mute and the volume each.
enum class Restore {
    Untouched, // the ring did not change it
    PutBack, // the sink still shows what the ring set: the user's own again
    Kept, // the user changed it during the ring: theirs stands
};

struct RestorePlan
{
    Restore mute;
    Restore volume;

    bool operator==(const RestorePlan &) const = default;
};

inline RestorePlan restorePlan(const Raised &raised, const SinkSetting &now)
{
    const auto plan = [](bool changed, bool stillSet) {
        return !changed ? Restore::Untouched : stillSet ? Restore::PutBack : Restore::Kept;
    };
    return {plan(!sameMute(raised.user, raised.set), sameMute(now, raised.set)),
            plan(!sameVolume(raised.user, raised.set), sameVolume(now, raised.set))};
}

} // namespace OutputVolumeRules
