#pragma once
// TfrmMain: the program's one window. Its controls are the settings of a calculation;
// it owns the run's state (points, index, previews) and drives runs, loads and saves.

#include <QString>
#include <QWidget>
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "orvw/export_prompt.h"
#include "orvw/prompts.h"
#include "settings/settings_block.h"
#include "engine/run/run_state.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class PreviewPicture;
class PreviewSet;
struct CheckFailure;
enum class CheckedField;
struct MapSnapshot;
struct ResultHeader;
struct SettingsValues;
class RadioGroup;
class UpDown;

struct WindowOptions {
    std::string settings_path;         // empty: beside the executable, with ".cfg"
    std::unique_ptr<Prompts> prompts;  // null: Qt's own boxes and dialogs
    char decimal_separator = 0;        // 0: the locale's, taken once at creation
    unsigned threads = 0;              // threads of the point loop; 0: all cores
    std::unique_ptr<ExportPrompt> export_prompt;  // null: the export dialog
};

class TfrmMain : public QWidget {
    Q_OBJECT
public:
    explicit TfrmMain(WindowOptions options = {}, QWidget* parent = nullptr);
    ~TfrmMain() override;

    // True while a run, a load or a gridding is going on.
    bool isBusy() const { return busy_; }

    // On a screen whose free area (`available`, in the window's pixels) cannot hold the
    // form with its title bar, the form goes into a scroll area as large as fits; its
    // controls keep their places on it. Once, before the window is shown.
    void fitScreen(const QRect& available);
    bool resultsReady() const { return state_.results_ready; }
    char decimalSeparator() const { return decimal_separator_; }

public slots:
    void btn_inClick();
    void btn_logClick();
    void btn_outClick();
    void btn_calcClick();
    void btn_stopClick();
    void btn_exitClick();
    void btn_loadClick();
    void btn_save1Click();
    void btn_save2Click();
    void btn_save3Click();
    void cb1Change();
    void cb2Change();
    void cb3Change();
    void rg_tendenciesClick();
    void rg_methodClick();
    // The preview pictures' "Export..." entry: grids and stations for a GIS.
    void exportResults();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class WindowMonitor;

    // Creation (main_window_controls.cpp).
    void createControls();
    void createFileControls();
    void createColumnGroup();
    void createSearchControls();
    void createModelControls();
    void createPreviewControls();
    void setCreationValues();
    void setTabOrderOfForm();
    QLabel* labelBeside(QWidget* buddy, const QString& text, const char* name);

    // Rules and field checks (main_window_rules.cpp).
    void applyTendencyRule(Tendency tendency);
    bool CheckNumber(QLineEdit* field);
    bool txt_iterExit();
    bool runFieldCheck(QLineEdit* field);
    void scheduleFieldCheck(QLineEdit* field);
    bool runPendingFieldCheck();
    void failField(QLineEdit* field, const QString& text);

    // Calc (main_window_run.cpp).
    bool captureRunSettings(RunSettings& settings);
    QLineEdit* controlOf(CheckedField field) const;
    void failCheck(const CheckFailure& failure);
    void showGeneralError(const QString& text);
    void failConversion(QLineEdit* field, const QString& text);
    void setBusy(bool busy);
    void showRunEnd(int result, double seconds);

    // Settings file (main_window_settings.cpp).
    void ReadCfg();
    void FormClose();
    void applySettingsValues(const SettingsValues& values);
    std::vector<QLineEdit*> readControls(SettingsValues& values) const;

    // File dialogs and loading (main_window_files.cpp).
    void chooseFileInto(QLineEdit* field, FileDialogId id);
    void showLoadedHeader(const ResultHeader& header);

    // Previews (main_window_previews.cpp).
    void clearPreviews();
    void previewReady(int slot);
    QComboBox* previewList(int slot) const;
    bool canGridSlot(int slot) const;
    bool previewAgrees(int slot) const;
    bool gridSlot(int slot, RunMonitor& monitor);
    void clearSlot(int slot);
    void announceGridding(int slot);
    void bringPreviewsInLine(bool may_grid);
    void alignPreviews(RunMonitor& monitor, bool may_grid);
    void previewChange(int slot);
    void savePreview(int slot);
    void saveNodeGrid(int slot, const std::string& path);
    void finishBusy();

    // Export (main_window_export.cpp).
    void createExportAction();
    // Map windows (main_window_previews.cpp).
    void openMap(int slot);
    void pointsReplaced(const QString& source);

    std::string settings_path_;
    std::unique_ptr<Prompts> prompts_;
    std::unique_ptr<ExportPrompt> export_prompt_;
    char decimal_separator_;
    unsigned threads_;

    // Kept outside the controls.
    int image_width_ = 0;
    int image_height_ = 0;
    double alpha_ = 0.01;
    bool stop_requested_ = false;
    RunState state_;
    RunSettings data_settings_;  // tendency and radii of the points in memory
    std::unique_ptr<PreviewSet> previews_;
    // What map windows show of the points in memory: copied when the first map opens,
    // dropped when a run or load replaces the points (open maps keep their copy).
    std::shared_ptr<const MapSnapshot> map_snapshot_;
    QString map_source_;
    SettingsBlock block_;
    std::array<int, 4> filter_index_{};  // remembered filter of each file dialog

    // What each preview picture shows: the list entry it was gridded for, from which
    // points. A picture whose list now names something else is gridded again or cleared.
    struct ShownPreview {
        QString label;
        int data_version = -1;
        bool gridded = false;  // tried for this entry (drawn, or failed and left empty)
        bool drawn = false;
    };
    std::array<ShownPreview, 3> shown_{};
    std::array<QString, 3> run_labels_{};  // the entries the running run grids
    int data_version_ = 0;                 // counts the points replaced (runs, loads)
    int lists_tendency_ = -1;              // whose entries cb2, cb3 hold; -1 the design's
    int data_lists_tendency_ = -1;         // lists_tendency_ when the points were made
    bool work_cancelled_ = false;          // the user confirmed a cancel in this work

    // Re-entry guards: events are processed inside long operations.
    bool busy_ = false;
    bool close_pending_ = false;
    bool in_field_check_ = false;
    QLineEdit* pending_check_ = nullptr;

    // Controls, named as on the form.
    QLineEdit* txt_in = nullptr;
    QPushButton* btn_in = nullptr;
    QLineEdit* txt_log = nullptr;
    QPushButton* btn_log = nullptr;
    QCheckBox* chb_cpin = nullptr;
    QLineEdit* txt_out = nullptr;
    QPushButton* btn_out = nullptr;
    QComboBox* cmb_gx = nullptr;
    QComboBox* cmb_gy = nullptr;
    QComboBox* cmb_point = nullptr;
    QComboBox* cmb_gz = nullptr;
    QComboBox* cmb_uba = nullptr;
    QLineEdit* txt_radius = nullptr;
    QLineEdit* txt_npoints = nullptr;
    RadioGroup* rg_search = nullptr;
    QLineEdit* txt_iter = nullptr;
    UpDown* up1 = nullptr;
    QComboBox* cb_iter = nullptr;
    QComboBox* cmb_centerx = nullptr;
    QComboBox* cmb_centery = nullptr;
    QComboBox* cmb_centerz = nullptr;
    QComboBox* cmb_centeru = nullptr;
    RadioGroup* rg_tendencies = nullptr;
    RadioGroup* rg_method = nullptr;
    QLabel* lbl_svd = nullptr;
    QLineEdit* txt_threshold = nullptr;
    QLineEdit* txt_minalfa = nullptr;
    QLineEdit* txt_maxalfa = nullptr;
    QLineEdit* txt_seqquot = nullptr;
    QLineEdit* txt_alpha = nullptr;
    QLabel* lbl_alpha = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    QCheckBox* cb_preview = nullptr;
    QLineEdit* txt_nearest = nullptr;
    QPushButton* btn_load = nullptr;
    QPushButton* btn_calc = nullptr;
    QPushButton* btn_exit = nullptr;
    QPushButton* btn_stop = nullptr;
    QComboBox* cb1 = nullptr;
    QPushButton* btn_save1 = nullptr;
    QComboBox* cb2 = nullptr;
    QPushButton* btn_save2 = nullptr;
    QComboBox* cb3 = nullptr;
    QPushButton* btn_save3 = nullptr;
    PreviewPicture* img_uba = nullptr;
    PreviewPicture* img_regta = nullptr;
    PreviewPicture* img_delta = nullptr;
    QLabel* img_emblem = nullptr;
};
