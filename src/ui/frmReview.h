// frmReview: which files of a folder to teach first. The user chooses a
// folder and a target; the window examines the folder's executables (.exe,
// .com, .scr, as a folder given to morvel-cli), leaves out those a stored
// example holds, and lists the others from the one most worth teaching to
// the least, with the predicted value, certainty, novelty and worth (the
// figures of morvel-cli review). Enter or a double click on a file asks the
// main window to open it for classification; after the classification
// window remembers a file, the list is made again.
//
// The examination runs on the user-interface thread in slices of a few
// milliseconds between events, so the window stays responsive; it shows its
// progress and stops on Stop or Esc, listing what it has. One instance,
// used on the user-interface thread; the registry and tables outlive it.
#pragma once

#include <QDialog>
#include <QString>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/attributes/FileExaminer.h"
#include "core/classify/Review.h"
#include "core/classify/TrainingSet.h"
#include "core/config/ConfigTables.h"
#include "core/store/Registry.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTimer;
class QTreeWidget;

namespace morvel {

class frmReview : public QDialog {
    Q_OBJECT

  public:
    frmReview(Registry& registry, const ConfigTables& tables, QWidget* parent = nullptr);
    ~frmReview() override;

    // Reviews folder for the chosen target (what Choose does after its dialog).
    void ReviewFolder(const QString& folder);
    // Reviews the folder again, with the examples stored now.
    void Rank();
    bool Reviewing() const { return reviewing_; }
    // Stops a review under way; the files examined so far are listed.
    void Stop();

  signals:
    // The user asked to classify the file at path.
    void OpenRequested(const QString& path);

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    // Esc: stops a review under way, else closes the window.
    void reject() override;

  private:
    struct Row {
        std::string path;
        ReviewFigures figures;
    };

    void ChooseFolder();
    void ListTargets();
    void Step();
    void Finish(bool stopped);
    void OpenCurrent();
    void SetTexts();

    Registry& registry_;
    const ConfigTables& tables_;
    // The review under way: what it reads and what it has found.
    ConfigTables reviewTables_;
    std::int32_t target_ = 0;
    std::vector<std::string> files_;
    std::size_t next_ = 0;
    std::size_t taught_ = 0;
    std::size_t unreadable_ = 0;
    std::vector<Row> rows_;
    std::unordered_map<std::string, std::int32_t> fingerprints_;
    FileExaminer examiner_;
    TrainingSet classes_;
    std::unique_ptr<FileReview> review_;
    bool reviewing_ = false;
    QString folder_;

    QLineEdit* txtFolder = nullptr;
    QPushButton* cmdChoose = nullptr;
    QLabel* lblFolder = nullptr;
    QLabel* lblTarget = nullptr;
    QComboBox* cmbTarget = nullptr;
    QPushButton* cmdStart = nullptr;
    QPushButton* cmdClose = nullptr;
    QProgressBar* barProgress = nullptr;
    QLabel* lblStatus = nullptr;
    QTreeWidget* lstFiles = nullptr;
    QTimer* timer_ = nullptr;
};

}  // namespace morvel
