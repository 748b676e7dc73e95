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

protected:
    void showEvent(QShowEvent *event) override;

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

    ZelmorDatabase *m_db;
    QDataWidgetMapper *m_mapper = nullptr;
    bool m_adding = false;
};
