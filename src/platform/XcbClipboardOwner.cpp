#include "platform/XcbClipboardOwner.h"

#include <QString>

#include <xcb/xcb.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <optional>
#include <poll.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace platform {

namespace {

// The atoms the owner needs, interned once per connection.
enum Atom {
    ClipboardAtom,
    Targets,
    Timestamp,
    Multiple,
    Incr,
    Utf8String,
    Text,
    TextPlain,
    TextPlainUtf8,
    TimeProbe,
    AtomPair,
    ClipboardManager,
    SaveTargets,
    SaveProperty,
    AtomCount
};

constexpr std::array<const char*, AtomCount> kAtomNames = {
    "CLIPBOARD", "TARGETS", "TIMESTAMP", "MULTIPLE", "INCR", "UTF8_STRING", "TEXT",
    "text/plain", "text/plain;charset=utf-8", "_CHRONOPURGE_CLIPBOARD_TIME", "ATOM_PAIR",
    "CLIPBOARD_MANAGER", "SAVE_TARGETS", "_CHRONOPURGE_SAVE_TARGETS"};

// The most (target, property) pairs one MULTIPLE request may name; a longer
// list is refused as a whole. A clipboard manager names a handful.
constexpr uint32_t kMaxMultiplePairs = 64;

// A piece of an incremental transfer; the X server's largest request caps it.
constexpr qsizetype kPieceBytes = 1 << 20;

// A reader that stops asking for pieces for this long is taken to be gone.
constexpr auto kAbandonedAfter = std::chrono::seconds(10);

template <typename Reply>
using ReplyPointer = std::unique_ptr<Reply, decltype(&std::free)>;

std::shared_future<QByteArray> ready(const QByteArray& utf8)
{
    std::promise<QByteArray> promise;
    promise.set_value(utf8);
    return promise.get_future().share();
}

} // namespace

class XcbClipboardOwner::Session {
public:
    ~Session()
    {
        stop(false);
        xcb_disconnect(m_connection);
        for (const int fd : m_wake)
            if (fd >= 0)
                ::close(fd);
    }

    static std::unique_ptr<Session> start(const std::shared_future<QByteArray>& utf8, const QByteArray& display,
                                          xcb_window_t previousOwner = XCB_NONE)
    {
        std::unique_ptr<Session> session(new Session(utf8));
        return session->connect(display) && session->takeSelection(previousOwner) && session->startThread()
            ? std::move(session)
            : nullptr;
    }

    bool isOwner() const { return m_owner.load(); }
    xcb_window_t window() const { return m_window; }

    HandOver handOver(std::chrono::milliseconds silence, std::chrono::milliseconds limit)
    {
        if (!m_owner)
            return HandOver::Lost;
        const ReplyPointer<xcb_get_selection_owner_reply_t> manager(
            xcb_get_selection_owner_reply(m_connection,
                                          xcb_get_selection_owner(m_connection, m_atoms[ClipboardManager]), nullptr),
            &std::free);
        if (!manager || manager->owner == XCB_NONE)
            return HandOver::NoManager;
        // The targets worth keeping: the text as UTF-8 under the names
        // programs ask for, and as Latin-1 for the oldest ones.
        const std::array<xcb_atom_t, 3> targets = {m_atoms[Utf8String], m_atoms[TextPlainUtf8], XCB_ATOM_STRING};
        xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, m_window, m_atoms[SaveProperty], XCB_ATOM_ATOM, 32,
                            uint32_t(targets.size()), targets.data());
        {
            std::lock_guard lock(m_handOverMutex);
            m_handOver.reset();
        }
        const auto started = std::chrono::steady_clock::now();
        m_lastAsked = started.time_since_epoch().count();
        xcb_convert_selection(m_connection, m_window, m_atoms[ClipboardManager], m_atoms[SaveTargets],
                              m_atoms[SaveProperty], XCB_CURRENT_TIME);
        xcb_flush(m_connection);

        std::unique_lock lock(m_handOverMutex);
        for (;;) {
            if (m_handOver)
                return *m_handOver;
            if (!m_owner)
                return HandOver::Lost;
            const auto now = std::chrono::steady_clock::now();
            const auto lastAsked = std::chrono::steady_clock::time_point(std::chrono::steady_clock::duration(m_lastAsked));
            if (now - lastAsked > silence || now - started > limit)
                return HandOver::TimedOut;
            m_handOverAnswered.wait_for(lock, std::chrono::milliseconds(50));
        }
    }

    /** Returns once the thread has stopped serving. */
    void waitWhileOwner()
    {
        if (m_thread.joinable())
            m_thread.join();
    }

    /** Stops the thread; with `disown`, gives the selection up first. */
    void stop(bool disown)
    {
        if (m_thread.joinable()) {
            const char byte = 0;
            [[maybe_unused]] const ssize_t written = ::write(m_wake[1], &byte, 1);
            m_thread.join();
        }
        if (disown && m_owner.exchange(false)) {
            // Our own timestamp: should another program have taken the
            // clipboard meanwhile, the server ignores this.
            xcb_set_selection_owner(m_connection, XCB_NONE, m_atoms[ClipboardAtom], m_time);
            xcb_flush(m_connection);
        }
        m_owner = false;
    }

private:
    struct Transfer {
        xcb_window_t requestor;
        xcb_atom_t property;
        xcb_atom_t type;
        QByteArray data;
        qsizetype sent = 0;
        bool ended = false;
        std::chrono::steady_clock::time_point lastAsked;
    };

    explicit Session(std::shared_future<QByteArray> utf8)
        : m_utf8(std::move(utf8))
    {
    }

    /** The text, once it is ready; nullptr when making it failed. */
    const QByteArray* text() const
    {
        try {
            return &m_utf8.get();
        } catch (...) {
            return nullptr;
        }
    }

    bool connect(const QByteArray& display)
    {
        int screenNumber = 0;
        m_connection = xcb_connect(display.isEmpty() ? nullptr : display.constData(), &screenNumber);
        if (xcb_connection_has_error(m_connection))
            return false;
        xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(m_connection));
        for (int i = 0; i < screenNumber && screens.rem > 0; ++i)
            xcb_screen_next(&screens);
        if (screens.rem == 0)
            return false;

        m_window = xcb_generate_id(m_connection);
        const uint32_t eventMask = XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_create_window(m_connection, XCB_COPY_FROM_PARENT, m_window, screens.data->root, -10, -10, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &eventMask);

        std::array<xcb_intern_atom_cookie_t, AtomCount> cookies{};
        for (int i = 0; i < AtomCount; ++i)
            cookies[size_t(i)] = xcb_intern_atom(m_connection, 0, uint16_t(std::strlen(kAtomNames[size_t(i)])),
                                                 kAtomNames[size_t(i)]);
        for (int i = 0; i < AtomCount; ++i) {
            const ReplyPointer<xcb_intern_atom_reply_t> reply(
                xcb_intern_atom_reply(m_connection, cookies[size_t(i)], nullptr), &std::free);
            if (!reply)
                return false;
            m_atoms[size_t(i)] = reply->atom;
        }
        // The largest request is counted in four-byte units; a ChangeProperty
        // header takes 24 bytes of it.
        const qsizetype largest = qsizetype(xcb_get_maximum_request_length(m_connection)) * 4 - 64;
        m_pieceBytes = std::clamp<qsizetype>(largest, 1024, kPieceBytes);

        return ::pipe2(m_wake, O_CLOEXEC | O_NONBLOCK) == 0;
    }

    bool takeSelection(xcb_window_t previousOwner)
    {
        // The selection wants a real server time, not CurrentTime: an empty
        // append to a property of our own window brings one back.
        xcb_change_property(m_connection, XCB_PROP_MODE_APPEND, m_window, m_atoms[TimeProbe], XCB_ATOM_STRING, 8, 0,
                            nullptr);
        xcb_flush(m_connection);
        while (xcb_generic_event_t* event = xcb_wait_for_event(m_connection)) {
            const ReplyPointer<xcb_generic_event_t> owned(event, &std::free);
            if ((event->response_type & 0x7f) == XCB_PROPERTY_NOTIFY) {
                const auto* notify = reinterpret_cast<const xcb_property_notify_event_t*>(event);
                if (notify->window == m_window && notify->atom == m_atoms[TimeProbe]) {
                    m_time = notify->time;
                    break;
                }
            }
        }
        if (m_time == XCB_CURRENT_TIME)
            return false;
        if (previousOwner != XCB_NONE) {
            const ReplyPointer<xcb_get_selection_owner_reply_t> current(
                xcb_get_selection_owner_reply(
                    m_connection, xcb_get_selection_owner(m_connection, m_atoms[ClipboardAtom]), nullptr),
                &std::free);
            if (!current || current->owner != previousOwner)
                return false;
        }
        xcb_set_selection_owner(m_connection, m_window, m_atoms[ClipboardAtom], m_time);
        const ReplyPointer<xcb_get_selection_owner_reply_t> owner(
            xcb_get_selection_owner_reply(m_connection, xcb_get_selection_owner(m_connection, m_atoms[ClipboardAtom]),
                                          nullptr),
            &std::free);
        m_owner = owner && owner->owner == m_window;
        return m_owner;
    }

    bool startThread()
    {
        m_thread = std::thread([this] { serve(); });
        return true;
    }

    void serve()
    {
        for (;;) {
            while (xcb_generic_event_t* event = xcb_poll_for_event(m_connection)) {
                const ReplyPointer<xcb_generic_event_t> owned(event, &std::free);
                handle(*event);
            }
            xcb_flush(m_connection);
            if (xcb_connection_has_error(m_connection) || !m_owner) {
                // A lost connection serves nobody: the clipboard is no longer ours.
                m_owner = false;
                m_handOverAnswered.notify_all();
                return;
            }
            dropAbandonedTransfers();
            pollfd fds[2] = {{xcb_get_file_descriptor(m_connection), POLLIN, 0}, {m_wake[0], POLLIN, 0}};
            if (::poll(fds, 2, 1000) < 0 && errno != EINTR) {
                m_owner = false;
                return;
            }
            // Asked to stop: whether the selection is given up is stop()'s business.
            if (fds[1].revents != 0)
                return;
        }
    }

    void handle(const xcb_generic_event_t& event)
    {
        switch (event.response_type & 0x7f) {
        case XCB_SELECTION_REQUEST:
            answer(reinterpret_cast<const xcb_selection_request_event_t&>(event));
            break;
        case XCB_SELECTION_CLEAR: {
            const auto& clear = reinterpret_cast<const xcb_selection_clear_event_t&>(event);
            if (clear.owner == m_window && clear.selection == m_atoms[ClipboardAtom])
                m_owner = false;
            break;
        }
        case XCB_PROPERTY_NOTIFY:
            sendNextPiece(reinterpret_cast<const xcb_property_notify_event_t&>(event));
            break;
        case XCB_SELECTION_NOTIFY: {
            // The clipboard manager's answer to SAVE_TARGETS: no property when it kept nothing.
            const auto& notify = reinterpret_cast<const xcb_selection_notify_event_t&>(event);
            if (notify.requestor == m_window && notify.selection == m_atoms[ClipboardManager]
                && notify.target == m_atoms[SaveTargets]) {
                std::lock_guard lock(m_handOverMutex);
                m_handOver = notify.property == XCB_NONE ? HandOver::Refused : HandOver::Saved;
                m_handOverAnswered.notify_all();
            }
            break;
        }
        default:
            break;
        }
    }

    void answer(const xcb_selection_request_event_t& request)
    {
        m_lastAsked = std::chrono::steady_clock::now().time_since_epoch().count();
        xcb_selection_notify_event_t notify{};
        notify.response_type = XCB_SELECTION_NOTIFY;
        notify.time = request.time;
        notify.requestor = request.requestor;
        notify.selection = request.selection;
        notify.target = request.target;
        notify.property = XCB_NONE; // refused unless converted below
        // Old clients name no property: the target's name is used then.
        const xcb_atom_t property = request.property == XCB_NONE ? request.target : request.property;
        const bool ours = request.selection == m_atoms[ClipboardAtom] && request.owner == m_window
            && (request.time == XCB_CURRENT_TIME || request.time >= m_time);
        if (!ours) {
        } else if (request.target == m_atoms[Multiple]) {
            // MULTIPLE always names its property: the list of pairs.
            if (request.property != XCB_NONE && convertMultiple(request.requestor, request.property))
                notify.property = request.property;
        } else if (convert(request.requestor, request.target, property)) {
            notify.property = property;
        }
        xcb_send_event(m_connection, 0, request.requestor, XCB_EVENT_MASK_NO_EVENT,
                       reinterpret_cast<const char*>(&notify));
    }

    /** Writes `target` to `property` of `requestor`; false when refused. */
    bool convert(xcb_window_t requestor, xcb_atom_t target, xcb_atom_t property)
    {
        if (target == m_atoms[Targets]) {
            const std::array<xcb_atom_t, 8> targets = {m_atoms[Targets], m_atoms[Timestamp], m_atoms[Multiple],
                                                       m_atoms[Utf8String], m_atoms[TextPlainUtf8],
                                                       m_atoms[TextPlain], XCB_ATOM_STRING, m_atoms[Text]};
            xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, requestor, property, XCB_ATOM_ATOM, 32,
                                uint32_t(targets.size()), targets.data());
            return true;
        }
        if (target == m_atoms[Timestamp]) {
            xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, requestor, property, XCB_ATOM_INTEGER, 32, 1,
                                &m_time);
            return true;
        }
        if (target != m_atoms[Utf8String] && target != m_atoms[TextPlainUtf8] && target != m_atoms[TextPlain]
            && target != XCB_ATOM_STRING && target != m_atoms[Text])
            return false;
        // Waits here, off the window thread, while the text is being made.
        const QByteArray* utf8 = text();
        if (!utf8) {
            // The text will never come: the clipboard is given up.
            xcb_set_selection_owner(m_connection, XCB_NONE, m_atoms[ClipboardAtom], m_time);
            m_owner = false;
            return false;
        }
        if (target == XCB_ATOM_STRING || target == m_atoms[Text]) {
            // The ICCCM's STRING is Latin-1; a character outside it becomes "?".
            if (m_latin1.isNull())
                m_latin1 = QString::fromUtf8(*utf8).toLatin1();
            send(requestor, property, XCB_ATOM_STRING, m_latin1);
        } else {
            // Plain "text/plain" names no charset; like Qt we give UTF-8.
            send(requestor, property, target, *utf8);
        }
        return true;
    }

    /**
     * MULTIPLE: `property` of `requestor` lists (target, property) pairs.
     * Each is converted in turn; a refused one gets None as its property in
     * the list written back. The list is read from another program, so it is
     * bounded and checked; false refuses the whole request.
     */
    bool convertMultiple(xcb_window_t requestor, xcb_atom_t property)
    {
        const ReplyPointer<xcb_get_property_reply_t> reply(
            xcb_get_property_reply(m_connection,
                                   xcb_get_property(m_connection, 0, requestor, property, XCB_GET_PROPERTY_TYPE_ANY,
                                                    0, kMaxMultiplePairs * 2),
                                   nullptr),
            &std::free);
        if (!reply || reply->format != 32 || reply->bytes_after != 0
            || (reply->type != m_atoms[AtomPair] && reply->type != XCB_ATOM_ATOM))
            return false;
        const int count = xcb_get_property_value_length(reply.get()) / 4;
        if (count % 2 != 0)
            return false;
        const auto* values = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply.get()));
        std::vector<xcb_atom_t> pairs(values, values + count);
        for (size_t i = 0; i < pairs.size(); i += 2) {
            const xcb_atom_t target = pairs[i];
            const xcb_atom_t pairProperty = pairs[i + 1];
            if (target == m_atoms[Multiple] || pairProperty == XCB_NONE
                || !convert(requestor, target, pairProperty))
                pairs[i + 1] = XCB_NONE;
        }
        xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, requestor, property, m_atoms[AtomPair], 32,
                            uint32_t(pairs.size()), pairs.data());
        return true;
    }

    void send(xcb_window_t requestor, xcb_atom_t property, xcb_atom_t type, const QByteArray& data)
    {
        if (data.size() <= m_pieceBytes) {
            xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, requestor, property, type, 8,
                                uint32_t(data.size()), data.constData());
            return;
        }
        // INCR: the reader deletes the property to ask for each piece, and an
        // empty piece ends the transfer.
        const uint32_t eventMask = XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_change_window_attributes(m_connection, requestor, XCB_CW_EVENT_MASK, &eventMask);
        const uint32_t size = uint32_t(std::min<qsizetype>(data.size(), 0xffffffff));
        xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, requestor, property, m_atoms[Incr], 32, 1, &size);
        m_transfers.push_back({requestor, property, type, data, 0, false, std::chrono::steady_clock::now()});
    }

    void sendNextPiece(const xcb_property_notify_event_t& event)
    {
        if (event.state != XCB_PROPERTY_DELETE)
            return;
        const auto found = std::find_if(m_transfers.begin(), m_transfers.end(), [&](const Transfer& transfer) {
            return transfer.requestor == event.window && transfer.property == event.atom;
        });
        if (found == m_transfers.end())
            return;
        Transfer& transfer = *found;
        const qsizetype piece = std::min(m_pieceBytes, transfer.data.size() - transfer.sent);
        xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, transfer.requestor, transfer.property, transfer.type,
                            8, uint32_t(piece), transfer.data.constData() + transfer.sent);
        transfer.sent += piece;
        transfer.lastAsked = std::chrono::steady_clock::now();
        m_lastAsked = transfer.lastAsked.time_since_epoch().count();
        if (piece == 0)
            finish(found);
    }

    void dropAbandonedTransfers()
    {
        const auto now = std::chrono::steady_clock::now();
        for (auto transfer = m_transfers.begin(); transfer != m_transfers.end();) {
            if (now - transfer->lastAsked > kAbandonedAfter)
                transfer = finish(transfer);
            else
                ++transfer;
        }
    }

    std::vector<Transfer>::iterator finish(std::vector<Transfer>::iterator transfer)
    {
        const xcb_window_t requestor = transfer->requestor;
        const auto next = m_transfers.erase(transfer);
        const bool moreForRequestor = std::any_of(m_transfers.begin(), m_transfers.end(),
                                                  [&](const Transfer& other) { return other.requestor == requestor; });
        if (!moreForRequestor) {
            const uint32_t noEvents = XCB_EVENT_MASK_NO_EVENT;
            xcb_change_window_attributes(m_connection, requestor, XCB_CW_EVENT_MASK, &noEvents);
        }
        return next;
    }

    std::shared_future<QByteArray> m_utf8;
    QByteArray m_latin1;
    xcb_connection_t* m_connection = nullptr;
    xcb_window_t m_window = XCB_NONE;
    xcb_timestamp_t m_time = XCB_CURRENT_TIME;
    std::array<xcb_atom_t, AtomCount> m_atoms{};
    qsizetype m_pieceBytes = kPieceBytes;
    std::vector<Transfer> m_transfers;
    int m_wake[2] = {-1, -1};
    std::atomic<bool> m_owner = false;
    // When anybody last asked us for something (steady clock ticks): a
    // handover waits while the manager keeps asking.
    std::atomic<std::chrono::steady_clock::rep> m_lastAsked = 0;
    std::mutex m_handOverMutex;
    std::condition_variable m_handOverAnswered;
    std::optional<HandOver> m_handOver;
    std::thread m_thread;
};

XcbClipboardOwner::XcbClipboardOwner() = default;

XcbClipboardOwner::~XcbClipboardOwner() = default;

bool XcbClipboardOwner::offer(const QByteArray& utf8, const QByteArray& display)
{
    return offer(ready(utf8), display);
}

bool XcbClipboardOwner::takeOver(const QByteArray& utf8, std::uint32_t previousOwner, const QByteArray& display)
{
    m_session = previousOwner == XCB_NONE ? nullptr : Session::start(ready(utf8), display, previousOwner);
    return m_session != nullptr;
}

bool XcbClipboardOwner::offer(const std::shared_future<QByteArray>& utf8, const QByteArray& display)
{
    // The new session takes the selection before the old one stops, so the
    // clipboard is never empty in between; the old one only stops serving.
    std::unique_ptr<Session> session = Session::start(utf8, display);
    m_session = std::move(session);
    return m_session != nullptr;
}

void XcbClipboardOwner::release()
{
    if (m_session) {
        m_session->stop(true);
        m_session.reset();
    }
}

bool XcbClipboardOwner::isOwner() const
{
    return m_session && m_session->isOwner();
}

std::uint32_t XcbClipboardOwner::window() const
{
    return isOwner() ? m_session->window() : 0;
}

XcbClipboardOwner::HandOver XcbClipboardOwner::handOver(std::chrono::milliseconds silence,
                                                        std::chrono::milliseconds limit)
{
    return m_session ? m_session->handOver(silence, limit) : HandOver::Lost;
}

void XcbClipboardOwner::waitWhileOwner()
{
    if (m_session)
        m_session->waitWhileOwner();
}

} // namespace platform
