// The message being edited and the options, without windows, set up as the program's start-up
// sets up its editor: the font and message folders of the working folder, editing disabled. What
// letrador-cli and the service read message files into, count and record.
#pragma once

#include "app/app_core.h"
#include "files/message_files.h"
#include "message/paragraph_commands.h"
#include "message/paragraph_store.h"
#include "message/plain_editor_view.h"
#include "platform/dialogs.h"
#include "settings/plain_options_view.h"

namespace letrador {

struct WindowlessMessage {
    WindowlessMessage(const AppCore& core, platform::Dialogs& boxes)
        : dialogs(boxes),
          view(store),
          commands(store, view, dialogs, [this] { return options.joinedChecked(); }),
          files(store, view, options, commands, dialogs) {
        core.setFolders(store);
        if (view.paragraphItemCount() == 0) commands.DisableEditing();
        store.MessageModified = false;
    }
    WindowlessMessage(const WindowlessMessage&) = delete;
    WindowlessMessage& operator=(const WindowlessMessage&) = delete;

    platform::Dialogs& dialogs;
    ParagraphStore store;
    PlainEditorView view;
    PlainOptionsView options;
    ParagraphCommands commands;
    MessageFiles files;
};

}  // namespace letrador
