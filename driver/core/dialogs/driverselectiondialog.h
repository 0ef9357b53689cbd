// "Drivers selection and configuration": the operator builds the instance
// list of the configuration. Choosing a model proposes its name; "&Add"
// creates the instance at once (its key, D_Type, then its channel dialogs);
// "&Remove all" destroys every instance and deletes its key; a double click
// on a selected driver configures its channel again; "&Done" closes. There
// is no cancel: every change takes effect when it is made.
#pragma once

#include <QDialog>

class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;

namespace quorvin {

class DriverManager;

class DriverSelectionDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int kMaxNameLength = 11;

    explicit DriverSelectionDialog(DriverManager& manager, QWidget* parent = nullptr);

    // The name "&Add" would give an instance for `text`: at most eleven
    // characters, without surrounding blanks; empty when the text cannot
    // name an instance key (empty, or holding "\" or "/").
    static QString instanceNameFor(const QString& text);

private:
    void fillSelected();
    void onKnownChosen(QListWidgetItem* item);
    void onAdd();
    void onRemoveAll();
    void onSelectedActivated(QListWidgetItem* item);
    // Whether instances may be created or destroyed now; tells the operator
    // when a receiver is still busy.
    bool reconfigureAllowed();
    void tellBusy();

    DriverManager& m_manager;
    QListWidget* m_known;
    QListWidget* m_selected;
    QPushButton* m_add;
    QPushButton* m_removeAll;
    QPushButton* m_done;
    QLineEdit* m_name;
};

}  // namespace quorvin
