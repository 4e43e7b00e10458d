#pragma once

#include "Label.h"
#include "panel/Desktop.h"
#include "panel/PanelModel.h"

#include <QMainWindow>
#include <QTimer>

#include <array>
#include <functional>

class QAction;
class QFrame;
class QGroupBox;
class QPushButton;

// The program's one window. It owns the panel model (whose line is the serial
// component Comm1, its receive tick the timer Timer1), every control and the menus.
// Its handlers call the model's procedures and its controls follow the model's
// signals; the handlers of each part of the program are defined beside that part
// (app/, ui/, help/). Nothing below the window knows of it.
class Form1 : public QMainWindow {
    Q_OBJECT

    PanelModel m_model; // first: the members below refer to it

public:
    static constexpr int kDesignHeight = 7200; // outer height, panel shown
    static constexpr int kShortHeight = 3740; // outer height, panel hidden
    static constexpr int kFrameAllowance = 660; // title bar, menu bar and borders
    static constexpr int kClientWidth = 4020;

    Form1(Desktop &desktop, PortDevices ports, QWidget *parent = nullptr);
    ~Form1() override;

    // The panel the window shows and drives; the bus and the tools watch the same one.
    PanelModel &model() { return m_model; }

    // The settings file's name: the executable's base name and ".ini", no directory.
    QString &IniFile;

    // The serial component and the timer.
    Line &Comm1;
    QTimer &Timer1; // the line's receive tick

    // Controls.
    QGroupBox *Frame3 = nullptr; // "Function"
    QGroupBox *Frame2 = nullptr; // "Memory"
    QPushButton *Command1 = nullptr; // MIC record
    QPushButton *Command2 = nullptr; // RX record
    QPushButton *Command3 = nullptr; // Play
    QPushButton *Command4 = nullptr; // Transmit
    QPushButton *Command5 = nullptr; // Stop
    QPushButton *Command6 = nullptr; // "x" of the received-data panel
    std::array<QPushButton *, 10> Number {};
    Label *Status = nullptr;
    Label *Label1 = nullptr;
    Label *TextBox = nullptr;
    QFrame *Line1 = nullptr;
    QFrame *Line2 = nullptr;

    // Menu items.
    QAction *Exit = nullptr;
    QAction *menuKeyboardCommands = nullptr;
    QAction *menuShowSerialComRxData = nullptr;
    QAction *menuRepeatTransmit = nullptr; // "Repeat Transmit…", "Stop Repeat" while one runs
    QAction *menuSpeakReceivedData = nullptr; // not saved
    QAction *menuReopenLostPort = nullptr; // remembered beside ports.conf
    QAction *menuCloseComPort = nullptr;
    QAction *menuPortDevices = nullptr; // "Port devices…", the Com menu's last item
    QAction *menuGuide = nullptr;
    QAction *menuAbout = nullptr;
    // The Com items, one group addressed by the port number kFirstComPort to kLastComPort.
    QAction *menuCom(int index) const;

    // Windowing operations.
    QWidget *controlsArea() const { return m_controls; }
    int outerHeight() const { return m_outerHeight; }
    void setOuterHeight(int twips);
    void showStatus(const QString &caption, quint32 foreColor);

    // Command dispatch.
    void sendCommand(char command);
    // True when the byte went out. A command the unit does not take now is reported
    // with a box, or, for a caller that is no operator, in `notSentWhy` alone.
    bool issueCommand(char command, QString *notSentWhy = nullptr);
    void warnPortNotOpen();

    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void Command5_Click();
    void Number0_Click();
    void Number1_Click();
    void Number2_Click();
    void Number3_Click();
    void Number4_Click();
    void Number5_Click();
    void Number6_Click();
    void Number7_Click();
    void Number8_Click();
    void Number9_Click();

    // Start-up and shutdown.
    void loadAndShow(); // Form_Load, then the window appears
    void Form_Load();
    void Form_Unload();
    void Exit_Click();

    // Port selection and scan.
    void ScanComPorts();
    // One port's step of the scan: opened and closed again on the panel's component,
    // and its Com item enabled or greyed (with the reason as its tooltip) to match.
    void ScanComPort(int port);
    void SelectComPort(int index);
    void menuCom_Click(int index);
    void menuCloseComPort_Click();
    // Assigns devices to the ports; the ports whose device changed are probed again.
    void menuPortDevices_Click();

    // The settings file.
    void SaveComSettings();
    void RestoreComSettings();
    void DeleteComSettings();

    // The received-data monitor.
    void Timer1_Timer();
    void menuShowSerialComRxData_Click();
    void Command6_Click();

    // Keyboard commands: every character key typed in the window, as its 8-bit code.
    void Form_KeyPress(int characterCode);
    void menuKeyboardCommands_Click();
    void menuReopenLostPort_Click();
    void warnPortNotOpenAfterKey();

    // Repeat transmit: the model's repeat, and its menu item (dialog or stop).
    RepeatTransmit *const repeat;
    void menuRepeatTransmit_Click();

    // Guide and About.
    void menuGuide_Click();
    void menuAbout_Click();

signals:
    // The operator showed or hid the received-data panel.
    void receivedDataShown(bool shown);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void createControls();
    void createMenus();
    void setTabOrder();
    void connectHandlers();
    void followModel();

    // Connects a signal to a handler; a failure escaping the handler ends the program
    // with a message instead of crossing Qt's event loop.
    template <typename Sender, typename Signal>
    void on(Sender *sender, Signal signal, void (Form1::*handler)());
    void runHandler(void (Form1::*handler)());
    void onMenuItem(QAction *item, const std::function<void()> &handler);
    bool OpenDocument(const QString &path, int showMode);

    Desktop &m_desktop;
    QWidget *m_controls = nullptr;
    std::array<QAction *, kComPortCount> m_menuCom {};
    int m_outerHeight = kDesignHeight;
    bool m_keyWarningPending = false; // a key's "Com Port is not open!" waits for the key to pass
};
