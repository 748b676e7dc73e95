#pragma once

#include <QDialog>

class QDataWidgetMapper;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QTableView;
class ZelmorDatabase;

// Editor of the car models and their sixteen limits, bound to the shared
// models cursor. Browsing and adding states; no reset between openings.
class TFormModels : public QDialog
{
    Q_OBJECT

public:
    explicit TFormModels(ZelmorDatabase *database, QWidget *parent = nullptr);

    bool isAdding() const { return m_adding; }

    // Stores what the operator typed and has not yet stored (a changed limit
    // or name, a new model with input; an untouched new model is dropped), so
    // what the editor showed is what the table holds. Called whenever the
    // editor closes, and by the main window when the program ends. A value
    // that cannot be stored is shown in a message and false returned; the
    // editor then stays open.
    bool postPendingEdits();

protected:
    void showEvent(QShowEvent *event) override;
    void done(int result) override;

public:
    QTableView *DBGrid1 = nullptr;
    QGroupBox *GroupBox1 = nullptr;
    QLineEdit *DBEdit[17] = {}; // DBEdit1 … DBEdit16 by their number; [0] unused
    QPushButton *btnOK = nullptr;
    QPushButton *btnCancel = nullptr;
    QPushButton *btnAdd = nullptr;
    QPushButton *btnEdit = nullptr;
    QPushButton *btnDelete = nullptr;
    QPushButton *btnClose = nullptr;

private:
    void btnAddClick();
    void btnOKClick();
    void btnCancelClick();
    void btnEditClick();
    void btnDeleteClick();
    void btnCloseClick();
    void setAdding(bool adding);
    void cursorMoved(int row);
    void gridRowChosen(int row);
    void buildLayout();
    void bindModels();
    void applyWritability();
    QLineEdit *editWithUnreadableNumber() const;
    void commitGridEditor();

    ZelmorDatabase *m_db;
    QDataWidgetMapper *m_mapper = nullptr;
    bool m_adding = false;
};
