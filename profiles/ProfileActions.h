// What the profiles panel does, without the panel: the profile list for the
// connected register (the second after-connect step), the buttons
// "Сохранить настройки", "Сохранить в шаблон" and "Удалить", and the question
// on closing the program. The panel only draws and forwards; the template
// name box comes in through a callback.
#pragma once
#include <functional>
#include <optional>
#include <string>

class TBD;
class TProfileStore;
class TRegisterSession;

constexpr const char* TemplateBoxCaption = "Введите";
constexpr const char* TemplateBoxPrompt = "Имя шаблона";
constexpr const char* ExitQuestion = "Записать в БД загруженные из ККМ настройки?";

// The settings page's flags: options, departments, header and footer lines
// and taxes were read from the register and not stored since (for the
// settings actions a: {&a.OptionsLoaded, &a.DepsLoaded, &a.TitleLoaded,
// &a.TaxLoaded}).
struct TLoadedFlags {
    bool* Options = nullptr;
    bool* Deps = nullptr;
    bool* Title = nullptr;
    bool* Tax = nullptr;

    // All four set (a missing flag counts as not set).
    bool All() const;
    void Clear() const;
};

class TProfileActions {
public:
    TProfileActions(TRegisterSession& session, TBD& bd, TProfileStore& store, TLoadedFlags loaded);

    TRegisterSession& Session;
    TBD& BD;
    TProfileStore& Store;
    TLoadedFlags Loaded;

    // The template name box (caption, prompt, initial text): the text
    // entered, or nullopt when the box was cancelled. Unset: cancelled.
    std::function<std::optional<std::string>(const std::string& caption, const std::string& prompt,
                                             const std::string& initial)>
        InputQuery;
    // The window repaints (after "Удалить": the option marks change).
    std::function<void()> Repaint;

    // Appends LoadProfileList to the session's after-connect steps.
    void AddAfterConnectStep();

    // Rebuilds mtProfile for the connected register: the register profile,
    // the register's saved profile, the templates of its firmware version.
    // False when the store cannot be opened (the list is left as it was).
    bool LoadProfileList();
    // "Сохранить настройки": the current profile becomes the register's
    // saved profile; the list then shows it as stored. Saving the register
    // profile clears the loaded flags.
    bool bSavePropKKMtoBDClick();
    // "Сохранить в шаблон": the current profile is stored as a template of
    // the register's version under the name asked for; Cancel or an empty
    // name stores nothing.
    bool bSavePropKKMtoBDasShablonClick();
    // "Удалить": the current stored profile or template goes from the store
    // and the list (never the register profile).
    bool bDelPropKKMtoBDClick();
    // The close request: false refuses closing.
    bool FormCloseQuery();

    // Makes entry n (1-based) of the list current; false when there is none.
    bool SelectProfile(int n);

private:
    // SavedValues := the option values of the current entry when it is a
    // saved profile.
    void RenewSavedValues();
};
