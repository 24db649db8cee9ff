// SPDX-License-Identifier: MIT
#pragma once

#include <QDialog>

namespace tavik::ui {

// "Version information": the icon, the program's name and version, and OK.
class CAboutDlg : public QDialog {
  public:
    explicit CAboutDlg(QWidget* parent);
};

}  // namespace tavik::ui
