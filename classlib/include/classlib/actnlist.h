// Actions: a command's caption, enabled and checked state and image, shared by the controls
// bound to it.
//
// Stands in for the compiler library's basic action, action link, custom action and action list
// as far as the control library uses them. An action keeps a list of the links of its clients;
// a property set on the action reaches each linked control whose value still matched the
// action's, and every change tells the links, which let their control take the action's values
// again (ActionChange). An action's image index points into the image list of its action list.
// A freed action unbinds its controls (they hear of it through free notification); a freed
// action list frees its actions.
#ifndef CLASSLIB_ACTNLIST_H
#define CLASSLIB_ACTNLIST_H

#include <string>

#include "component.h"
#include "controls.h"
#include "events.h"
#include "image_list.h"
#include "list.h"

class TActionLink;
class TBasicActionLink;
class TCustomActionList;

class TBasicAction : public TComponent {
    CL_CLASS(TBasicAction, TComponent)

public:
    // Runs OnExecute; false when there is none.
    virtual bool Execute();
    // Runs OnUpdate; false when there is none.
    virtual bool Update();
    void RegisterChanges(TBasicActionLink *link);
    void UnRegisterChanges(TBasicActionLink *link);
    int ClientCount() const noexcept { return clients_.Count(); }

    TNotifyEvent OnExecute;
    TNotifyEvent OnUpdate;

protected:
    void Destroy() override;
    // Tells every link that the action changed.
    virtual void Change();
    TList<TBasicActionLink *> clients_;
};

// The tie of one client to an action; the client owns it.
class TBasicActionLink : public TObject {
    CL_CLASS(TBasicActionLink, TObject)

public:
    virtual void Create(TObject *client) { AssignClient(client); }
    TBasicAction *Action() const noexcept { return action_; }
    void SetAction(TBasicAction *value);
    virtual bool Execute(TComponent *) { return action_ != nullptr && action_->Execute(); }
    virtual bool Update() { return action_ != nullptr && action_->Update(); }

    // Called with the action whenever it changed.
    TNotifyEvent OnChange;

protected:
    void Destroy() override;
    virtual void AssignClient(TObject *) {}
    virtual void Change();

private:
    friend class TBasicAction;
    TBasicAction *action_ = nullptr;
};

class TCustomAction : public TBasicAction {
    CL_CLASS(TCustomAction, TBasicAction)

public:
    // Only an enabled action runs.
    bool Execute() override;

    const std::wstring &Caption() const noexcept { return caption_; }
    void SetCaption(const std::wstring &value);
    bool Checked() const noexcept { return checked_; }
    void SetChecked(bool value);
    bool Enabled() const noexcept { return enabled_; }
    void SetEnabled(bool value);
    int ImageIndex() const noexcept { return imageIndex_; }
    void SetImageIndex(int value);
    TCustomActionList *ActionList() const noexcept { return actionList_; }
    void SetActionList(TCustomActionList *value);

    bool HasParent() override { return actionList_ != nullptr; }
    TComponent *GetParentComponent() override;
    // Ignored while loading: the reader's parent decides then.
    void SetParentComponent(TComponent *parent) override;
    void GetPublishedProperties(TPropList &list) override;

protected:
    void Destroy() override;
    void ReadState(TReader *reader) override;

private:
    friend class TCustomActionList;
    // Sets a property the links follow: each link is told the new value, then every link of the change.
    template <class T, class Arg> void setLinked(T &field, const T &value, void (TActionLink::*tell)(Arg));
    std::wstring caption_;
    bool checked_ = false;
    bool enabled_ = true;
    int imageIndex_ = -1;
    TCustomActionList *actionList_ = nullptr;
};

class TAction : public TCustomAction {
    CL_CLASS(TAction, TCustomAction)
};

// What a client's link does with each property of a custom action; the base follows nothing.
class TActionLink : public TBasicActionLink {
    CL_CLASS(TActionLink, TBasicActionLink)

public:
    // Whether the client's value is tied to the action's (it is a custom action's).
    virtual bool IsCaptionLinked();
    virtual bool IsCheckedLinked();
    virtual bool IsEnabledLinked();
    virtual bool IsImageIndexLinked();
    virtual void SetCaption(const std::wstring &) {}
    virtual void SetChecked(bool) {}
    virtual void SetEnabled(bool) {}
    virtual void SetImageIndex(int) {}
};

// The link of a control: caption and enabled state follow while they still equal the action's.
class TControlActionLink : public TActionLink {
    CL_CLASS(TControlActionLink, TActionLink)

public:
    bool IsCaptionLinked() override;
    bool IsEnabledLinked() override;
    void SetCaption(const std::wstring &value) override;
    void SetEnabled(bool value) override;

protected:
    void AssignClient(TObject *client) override;
    TControl *client_ = nullptr;
};

class TCustomActionList : public TComponent {
    CL_CLASS(TCustomActionList, TComponent)

public:
    int ActionCount() const noexcept { return actions_.Count(); }
    TCustomAction *Actions(int index) const { return actions_.Get(index); }
    TCustomImageList *Images() const noexcept { return images_; }
    // Every action changes with the list's images.
    void SetImages(TCustomImageList *value);
    // Every action whose owner is the root.
    void GetChildren(const TGetChildProc &proc, TComponent *root) override;
    void GetPublishedProperties(TPropList &list) override;

protected:
    void Destroy() override;
    void Notification(TComponent *component, TOperation operation) override;

private:
    friend class TCustomAction;
    void imagesChanged();
    TList<TCustomAction *> actions_;
    TCustomImageList *images_ = nullptr;
};

class TActionList : public TCustomActionList {
    CL_CLASS(TActionList, TCustomActionList)
};

#endif
