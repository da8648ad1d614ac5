#include "shell/window_state.h"

#include "text/cp932.h"

namespace shell {

WindowState::WindowState() {
    enabled.fill(true);
    setEnabled(Control::Stop, false);
    setEnabled(Control::Apply, false);
    // Each line store shown in the enlarged layout starts with its caption line.
    groupStore.append(text::sj("グループ制御用リスト"));
    listStore.append(text::sj("CSV　リスト基本データ"));
    deviceLogStore.append(text::sj("機器 LOG 用保存エリア"));
    sendStore.append(text::sj("流し込みデータ"));
    searchRegStore.append(text::sj("LAN上検索返答パケットデータ"));
    searchReplyStore.append(text::sj("LAN検索登録保管データ"));
    viewStore.append(text::sj("リスト一覧表示用"));
    workStore.append(text::sj("リスト加工作業用"));
    lastPacket = text::sj("最終TCPパケットデータ");
}

}  // namespace shell
