#pragma once
// The common-text entries of the Text menu.

class QMenu;

namespace corvelle {

class TCorvelProg;

// Replaces the items of `menu` after its first `fixed_items` by one item per common-text
// entry (CommonTextCaption), each inserting its entry into the active message window.
void FillCommonTextMenu(TCorvelProg& window, QMenu& menu, int fixed_items);

}  // namespace corvelle
