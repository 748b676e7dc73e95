#pragma once

class TFormAboutProg;
class TFormAboutZM;
class TFormDiap;
class TFormModels;
class TFormOptions;
class TFormReports;
class TFormSelectCar;

// The windows created after the main window (process start); any may be null
// while its piece is missing, and what needs it says so when used.
struct ProgramDialogs
{
    TFormOptions *FormOptions = nullptr;
    TFormSelectCar *FormSelectCar = nullptr;
    TFormModels *FormModels = nullptr;
    TFormReports *FormReports = nullptr;
    TFormAboutZM *FormAboutZM = nullptr;
    TFormAboutProg *FormAboutProg = nullptr;
    TFormDiap *FormDiap = nullptr;
};
