#include "service/message_desk.h"

#include <algorithm>
#include <filesystem>

#include "app/windowless_message.h"
#include "files/message_folder.h"
#include "message/paragraph_commands.h"
#include "signlink/recording_commands.h"

namespace letrador::service {

namespace {
// The message boxes a windowless message shows, kept to be shown on the page. A question is
// answered No: nothing is replaced or discarded without the page asking first.
class CollectedBoxes : public platform::Dialogs {
  public:
    void information(const std::string& text, const std::string&) override { texts.push_back(text); }
    bool question(const std::string& text, const std::string&) override {
        texts.push_back(text);
        return false;
    }
    std::string joined() const {
        std::string out;
        for (const auto& t : texts) out += (out.empty() ? "" : " ") + t;
        std::replace(out.begin(), out.end(), '\r', ' ');
        std::replace(out.begin(), out.end(), '\n', ' ');
        return out;
    }
    std::vector<std::string> texts;
};

// The quick message in the editor, saved with "Guardar párrafo" as the operator would.
bool TypeQuick(WindowlessMessage& m, const std::u32string& text, const std::string& font) {
    m.commands.cmdParNuevo_Click();
    m.view.setMessageText(text);
    m.view.setFontFileText(font);
    return m.commands.cmdParGuardar_Click();
}
}  // namespace

std::vector<std::string> MessageDesk::messages() const {
    return ListMessageFiles((core_.workFolder() / "mensajes").string());
}

std::vector<std::string> MessageDesk::fonts() const {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(core_.workFolder() / "tipografias", ec)) {
        const std::string name = e.path().filename().string();
        if (e.is_regular_file(ec) && name.size() > 4 && name.substr(name.size() - 4) == ".ffv") names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

MessageDesk::Shown MessageDesk::read(const std::string& name) const {
    CollectedBoxes boxes;
    WindowlessMessage m(core_, boxes);
    Shown s;
    s.ok = m.files.LeerMensaje((core_.workFolder() / "mensajes" / name).string());
    s.boxes = boxes.texts;
    if (!s.ok) return s;
    for (int k = 1; k <= m.view.paragraphItemCount() && m.store.hasParagraph(k); ++k)
        s.paragraphs.push_back(m.store.paragraph(k));
    s.capacity = m.view.capacityLabel();
    s.total = m.commands.TotalColumns();
    return s;
}

std::optional<SignPreview> MessageDesk::paragraphPreview(const std::string& name, int k) const {
    CollectedBoxes boxes;
    WindowlessMessage m(core_, boxes);
    if (!m.files.LeerMensaje((core_.workFolder() / "mensajes" / name).string()) || k < 1 ||
        !m.store.hasParagraph(k))
        return std::nullopt;
    const ParagraphRecord& p = m.store.paragraph(k);
    return ComputeSignPreview(p.Text, m.store.fontPath(p.FontFile), p.Separation, m.store.SpaceWidth);
}

std::optional<WholeMessage> MessageDesk::whole(const std::string& name, std::string& problem) const {
    CollectedBoxes boxes;
    WindowlessMessage m(core_, boxes);
    std::optional<WholeMessage> message;
    if (m.files.LeerMensaje((core_.workFolder() / "mensajes" / name).string()))
        message = PrepararMensajeTotal(m.commands, m.store, m.view, m.dialogs, m.options.joinedChecked());
    if (!message) problem = boxes.texts.empty() ? "No se pudo leer el mensaje." : boxes.joined();
    return message;
}

MessageDesk::Quick MessageDesk::quick(const std::u32string& text, const std::string& font) const {
    ParagraphStore store;
    core_.setFolders(store);
    Quick q;
    q.preview = ComputeSignPreview(text, store.fontPath(font), store.DefaultSeparation, store.SpaceWidth);
    q.exceeded = q.preview.count > store.SignCapacity;
    q.capacity = q.exceeded ? kCapacidadExcedida : ParagraphCommands::CapacityText(q.preview.count, store.SignCapacity);
    return q;
}

std::optional<WholeMessage> MessageDesk::quickWhole(const std::u32string& text, const std::string& font,
                                                    std::string& problem) const {
    CollectedBoxes boxes;
    WindowlessMessage m(core_, boxes);
    std::optional<WholeMessage> message;
    if (TypeQuick(m, text, font))
        message = PrepararMensajeTotal(m.commands, m.store, m.view, m.dialogs, m.options.joinedChecked());
    if (!message) problem = boxes.joined();
    return message;
}

MessageDesk::Saved MessageDesk::saveQuick(const std::u32string& text, const std::string& font,
                                          const std::string& name, bool overwrite, std::string& problem) const {
    const auto path = core_.workFolder() / "mensajes" / name;
    std::error_code ec;
    if (!overwrite && std::filesystem::exists(path, ec)) return Saved::Exists;
    CollectedBoxes boxes;
    WindowlessMessage m(core_, boxes);
    const bool ok = TypeQuick(m, text, font) && m.files.EscribirMensaje(path.string());
    if (!ok) problem = boxes.joined();
    return ok ? Saved::Yes : Saved::No;
}

}  // namespace letrador::service
