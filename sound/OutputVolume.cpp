// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
// The output volume through the sound server's own client library, served by
// PulseAudio and by PipeWire's pulse layer alike. Each call connects on a
// private main loop of its own and disconnects after, so that a restarted
// server is simply met anew; PULSE_SERVER is honoured by the library.
#include "sound/OutputVolume.h"

#include "sound/SoundLog.h"

#include <SDL.h>
#include <pulse/context.h>
#include <pulse/introspect.h>
#include <pulse/mainloop.h>
#include <pulse/operation.h>
#include <pulse/volume.h>

#include <QStringList>

#include <chrono>
#include <cstring>

using namespace OutputVolumeRules;

static_assert(fullVolume == PA_VOLUME_NORM);

namespace {

// What one step may cost: a hung server is given up on after this, and an
// absent one costs nothing.
constexpr std::chrono::milliseconds stepLimit{1500};

QString describe(const SinkSetting &s)
{
    QStringList volumes;
    for (std::uint32_t c : s.channels)
        volumes << QString::number(percentShown(c)) + u'%';
    return (s.muted ? QStringLiteral("muted, ") : QStringLiteral("unmuted, ")) + volumes.join(u'/');
}

// One connection to the server, for one call.
class Server
{
public:
    Server()
        : m_loop(pa_mainloop_new())
    {
        if (!m_loop)
            return;
        m_context = pa_context_new(pa_mainloop_get_api(m_loop), "Vellwake");
        // No server is started for us: a machine without one has nothing to
        // raise.
        if (!m_context
            || pa_context_connect(m_context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
            return;
        waitFor([this] { return pa_context_get_state(m_context) == PA_CONTEXT_READY; });
    }

    ~Server()
    {
        if (m_context) {
            pa_context_disconnect(m_context);
            pa_context_unref(m_context);
        }
        if (m_loop)
            pa_mainloop_free(m_loop);
    }

    Server(const Server &) = delete;
    Server &operator=(const Server &) = delete;

    bool ready() const { return m_context && pa_context_get_state(m_context) == PA_CONTEXT_READY; }

    // The default sink's name; empty when there is none or no answer came.
    std::string defaultSink()
    {
        std::string name;
        finish(pa_context_get_server_info(
                m_context,
                [](pa_context *, const pa_server_info *info, void *name) {
                    if (info && info->default_sink_name)
                        *static_cast<std::string *>(name) = info->default_sink_name;
                },
                &name));
        return name;
    }

    struct Sink
    {
        bool answered = false; // and with no setting: there is no such sink
        std::optional<SinkSetting> setting;
    };

    Sink sink(const std::string &name)
    {
        Sink sink;
        sink.answered = finish(pa_context_get_sink_info_by_name(
                m_context, name.c_str(),
                [](pa_context *, const pa_sink_info *info, int, void *sink) {
                    if (!info)
                        return;
                    SinkSetting s{info->mute != 0, {}};
                    s.channels.assign(info->volume.values,
                                      info->volume.values + info->volume.channels);
                    static_cast<Sink *>(sink)->setting = s;
                },
                &sink));
        return sink;
    }

    bool setMute(const std::string &name, bool muted)
    {
        bool ok = false;
        finish(pa_context_set_sink_mute_by_name(m_context, name.c_str(), muted, succeeded, &ok));
        return ok;
    }

    bool setVolume(const std::string &name, const std::vector<std::uint32_t> &channels)
    {
        pa_cvolume volume;
        pa_cvolume_init(&volume);
        if (channels.empty() || channels.size() > PA_CHANNELS_MAX)
            return false;
        volume.channels = std::uint8_t(channels.size());
        std::copy(channels.begin(), channels.end(), volume.values);
        bool ok = false;
        finish(pa_context_set_sink_volume_by_name(m_context, name.c_str(), &volume, succeeded,
                                                  &ok));
        return ok;
    }

private:
    static void succeeded(pa_context *, int success, void *ok)
    {
        *static_cast<bool *>(ok) = success;
    }

    // Runs the loop until `done`, the connection fails or the step's time is
    // up; true for `done`.
    template<typename Done> bool waitFor(Done done)
    {
        using namespace std::chrono;
        const auto end = steady_clock::now() + stepLimit;
        while (!done()) {
            if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(m_context)))
                return false;
            const auto left = duration_cast<microseconds>(end - steady_clock::now()).count();
            if (left <= 0 || pa_mainloop_prepare(m_loop, int(left)) < 0
                || pa_mainloop_poll(m_loop) < 0 || pa_mainloop_dispatch(m_loop) < 0)
                return false;
        }
        return true;
    }

    // Waits for an operation; one that is not done in time is cancelled, so
    // its callback never sees the caller's data again. True when it is done.
    bool finish(pa_operation *op)
    {
        if (!op)
            return false;
        const bool done
                = waitFor([op] { return pa_operation_get_state(op) != PA_OPERATION_RUNNING; })
                && pa_operation_get_state(op) == PA_OPERATION_DONE;
        if (pa_operation_get_state(op) == PA_OPERATION_RUNNING)
            pa_operation_cancel(op);
        pa_operation_unref(op);
        return done;
    }

    pa_mainloop *m_loop = nullptr;
    pa_context *m_context = nullptr;
};

// Sound that SDL writes to a file or nowhere (the test drivers) reaches no
// output of the server's.
bool playsThroughServer()
{
    const char *driver = SDL_GetCurrentAudioDriver();
    return !driver || (std::strcmp(driver, "disk") != 0 && std::strcmp(driver, "dummy") != 0);
}

} // namespace

void OutputVolume::raiseForRing()
{
    if (!playsThroughServer())
        return;
    Server server;
    if (!server.ready()) {
        qCDebug(lcSound, "output volume: no sound server answered; the volume is left as it is");
        return;
    }
    const std::string name = server.defaultSink();
    const Server::Sink now = name.empty() ? Server::Sink{} : server.sink(name);
    if (!now.setting) {
        qCDebug(lcSound, "output volume: no default output to raise");
        return;
    }
    const auto earlier = m_raised.find(name);
    const std::optional<Raised> raised = OutputVolumeRules::raise(
            *now.setting,
            earlier == m_raised.end() ? std::nullopt : std::optional<Raised>(earlier->second));
    if (!raised) {
        m_raised.erase(name);
        return;
    }
    // Remembered first: whatever was set before a step failed is put back too.
    m_raised[name] = *raised;
    const bool liftVolume = !sameVolume(*now.setting, raised->set);
    const bool unmute = !sameMute(*now.setting, raised->set);
    if (!liftVolume && !unmute)
        return; // raised already
    // Lifted before it is unmuted: the old volume is never heard.
    const bool done = (!liftVolume || server.setVolume(name, raised->set.channels))
            && (!unmute || server.setMute(name, false));
    qCDebug(lcSound).noquote() << "output volume:" << (done ? "raised" : "could not fully raise")
                               << QString::fromStdString(name) << "for the ring, from"
                               << describe(*now.setting) << "to" << describe(raised->set);
}

void OutputVolume::restoreAfterRing()
{
    if (m_raised.empty())
        return;
    Server server;
    if (!server.ready()) {
        // Kept for the next stop: the server may be back by then.
        qCDebug(lcSound,
                "output volume: no sound server answered; the user's setting is put "
                "back later");
        return;
    }
    while (!m_raised.empty()) {
        const std::string name = m_raised.begin()->first;
        const Raised raised = m_raised.begin()->second;
        const QString sinkName = QString::fromStdString(name);
        const Server::Sink now = server.sink(name);
        if (!now.answered)
            return;
        if (!now.setting) {
            qCDebug(lcSound).noquote() << "output volume:" << sinkName << "is gone";
            m_raised.erase(name);
            continue;
        }
        const RestorePlan plan = restorePlan(raised, *now.setting);
        SinkSetting after = *now.setting;
        // Muted before it is lowered, the reverse of the raise.
        if (plan.mute == Restore::PutBack) {
            if (!server.setMute(name, raised.user.muted))
                return;
            after.muted = raised.user.muted;
        }
        if (plan.volume == Restore::PutBack) {
            if (!server.setVolume(name, raised.user.channels))
                return;
            after.channels = raised.user.channels;
        }
        if (plan.mute == Restore::PutBack || plan.volume == Restore::PutBack)
            qCDebug(lcSound).noquote() << "output volume: put back" << sinkName << "from"
                                       << describe(*now.setting) << "to" << describe(after);
        if (plan.mute == Restore::Kept || plan.volume == Restore::Kept)
            qCDebug(lcSound).noquote()
                    << "output volume: kept the user's change on" << sinkName << "to"
                    << describe(after) << "(the ring had set" << describe(raised.set) + u')';
        m_raised.erase(name);
    }
}
