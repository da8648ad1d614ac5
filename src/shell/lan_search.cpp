#include "shell/lan_search.h"

#include "discovery/search_request.h"
#include "fleet/lan_search_rule.h"
#include "text/cp932.h"

namespace shell {
namespace {

bool isLoopback(const std::string& address) {
    return address.rfind("127.", 0) == 0;
}

}  // namespace

LanSearch::LanSearch(WindowState& state, platform::EventLoop& loop, platform::Dialogs& dialogs,
                     platform::UdpFactory& udp, platform::HostAddress& host, Hooks hooks)
    : m_state(state),
      m_dialogs(dialogs),
      m_host(host),
      m_hooks(std::move(hooks)),
      m_run(loop, udp, fleet::LanSearchRun::Port::RebindAtEachPass, state.searchReplyStore,
            state.searchRegStore, runHooks()) {}

fleet::LanSearchRun::Hooks LanSearch::runHooks() {
    fleet::LanSearchRun::Hooks h;
    h.ownAddress = [this] {
        std::optional<std::string> own = findOwnAddress();
        if (!own) warn(text::sj("PCのIPアドレスが取得できないため、LAN上検索を行えません。"));
        return own;
    };
    h.sending = [this](const std::string& own, const std::string& target) {
        m_state.pcIpCaption = own;
        m_state.udpHostCaption = target;
        notify();
    };
    h.otherHost = [this](const std::string&) {
        notify();
        return m_dialogs.inputText("Invalid Host!", "Specify a new host:", "");
    };
    h.refused = [this] { m_dialogs.error("Host Lookup Canceled"); };
    h.portRefused = [this] {
        warn(text::sj("UDPポート ") + std::to_string(discovery::kReplyPort) +
             text::sj(" を開けないため、LAN上検索を行えません。他のプログラムが使用していないか"
                      "確認してください。"));
    };
    h.received = [this](const platform::Datagram&, bool) { notify(); };
    h.dropping = [this] {
        log(text::sj("LAN上検索の応答が上限を超えたため、以降の応答の一部を破棄します。"));
    };
    h.done = [this](bool complete) { finish(complete); };
    return h;
}

LanSearch::~LanSearch() = default;

void LanSearch::notify() {
    if (m_hooks.stateChanged) m_hooks.stateChanged();
}

void LanSearch::log(const std::string& line) {
    if (m_hooks.logMessage) m_hooks.logMessage(line);
}

void LanSearch::warn(const std::string& text) {
    notify();
    m_dialogs.warning(text);
}

void LanSearch::run() {
    if (running()) return;  // the disabled button is the guard; this keeps a stray call out
    if (m_state.isEnabled(Control::Apply)) {
        warn(text::sj("LAN上検索を行うには適用してください。"));
        return;
    }
    m_loopbackLogged = false;
    m_listEditVisit = m_state.listEditVisit;
    m_state.setEnabled(Control::LanSearch, false);
    m_run.start();
}

void LanSearch::finish(bool complete) {
    // A pass that failed has told the operator why; the replies so far are not merged.
    if (complete) merge();
    m_state.setEnabled(Control::LanSearch, true);
    notify();
}

void LanSearch::merge() {
    // The operator left list editing during the waits: the working copy the search was started
    // for is gone, and "適用" must not be left enabled for a merge nobody can see.
    if (!m_state.listEditShown || m_state.listEditVisit != m_listEditVisit) {
        log(text::sj("List編集を終了したため、LAN上検索の結果を登録しませんでした。"));
        return;
    }
    discovery::MergeResult m = m_run.merge(std::move(m_state.viewStore));
    m_state.viewStore = std::move(m.viewStore);
    if (m.nothingFound) {
        log(discovery::SearchSummary(m_run.replies(), m));
        warn(text::sj("対象機器が見つかりませんでした。"));
    } else {
        for (const std::string& line : m.logLines) log(line);
        log(discovery::SearchSummary(m_run.replies(), m));
        if (m.enableApply) m_state.setEnabled(Control::Apply, true);
    }
    if (m_hooks.showWorkingList) m_hooks.showWorkingList();
}

std::optional<std::string> LanSearch::findOwnAddress() {
    const fleet::OwnAddress own = fleet::ChooseOwnAddress(
        m_ownAddress, {}, [this] { return m_host.firstIpv4(m_host.hostName()); });
    if (own.from == fleet::OwnAddressFrom::Nowhere) return std::nullopt;
    const std::string& address = own.address;
    if (own.from == fleet::OwnAddressFrom::Host && isLoopback(address) && !m_loopbackLogged) {
        m_loopbackLogged = true;
        log(text::sj("PCのIPアドレスがループバック ") + address +
            text::sj(
                " のため、LAN上の機器には届きません。--own-address A.B.C.D で指定してください。"));
    }
    return address;
}

}  // namespace shell
