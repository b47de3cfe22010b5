// The main menu, the page-change handlers of the three large page controls, and the
// window's one-shot timers.
#pragma once
#include <QObject>
#include <QString>

class TAMainForm;

// The height PanelMainTop ends with when a page of PageControlMainTop is chosen; 0 when the
// page sets none (it keeps what it had). `spinHeight` is SpinEditMainTopPanelHeight's value.
int mainTopHeightForPage(const QString &pageName, int spinHeight);

class MainMenuHandlers : public QObject {
    Q_OBJECT
public:
    explicit MainMenuHandlers(TAMainForm &form);

    void MenuFileCloseClick();
    void MenuViewSearchInfoPanelClick(bool checked);
    void MenuViewMaximizedClick(bool checked);
    void MenuViewStdTopHeightClick(bool checked);
    void MenuViewSearchListClick(bool checked);
    void MenuViewSearchPaneSettingClick();
    void MenuSettingsSaveClick();
    void MenuSettingsInitialyzeClick();
    void MenuR2LTopClick();

    void PageControlMainTopChange();
    void PageControlBaseBrowserChange();
    void PageControlMainBodyChange();

    void TimerWhoisServerTimer();
    void TimerGUIIndentTimer();
    void TimerGUILocalIndentTimer();

private:
    // The download page shows the page's HTML once WebBrowserMain has it.
    void showMainPageHtml();
    void storePaneSizes();

    TAMainForm &f_;
    bool changing_ = false;  // our own page switches do not re-enter the handlers
};
