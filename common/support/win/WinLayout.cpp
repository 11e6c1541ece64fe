#include <memory>

#include "WinComCtrls.h"
#include "WinForm.h"
#include "WinGraphic.h"
#include "WinGrid.h"
#include "WinStdCtrls.h"
#include "WinToolBar.h"
#include "untText.h"

namespace {

TControl* FindIn(const std::vector<std::unique_ptr<TControl>>& components, const wchar_t* name) {
  for (auto& c : components)
    if (c->Name() == name) return c.get();
  return nullptr;
}

template <class List>
void AddItems(List& list, const wchar_t* items) {
  if (!items) return;
  std::wstring_view rest(items);
  while (!rest.empty()) {
    const size_t end = rest.find(L'\n');
    list.Add(std::wstring(rest.substr(0, end)));
    if (end == std::wstring_view::npos) break;
    rest.remove_prefix(end + 1);
  }
}

std::unique_ptr<TControl> CreateKind(const TCtlDef& d, const TCreateArgs& a, TForm& form,
                                     const std::vector<std::unique_ptr<TControl>>& components) {
  const unsigned f = d.Opts.Flags;
  auto handler = [&form, h = d.Handler]() -> std::function<void()> {
    if (!h) return {};
    return [&form, h] { (form.*h)(); };
  };
  switch (d.Kind) {
    case TKind::Button: {
      auto b = std::make_unique<TButton>(a);
      if (f & cfDefault) b->SetDefault(true);
      if (f & cfCancel) b->SetCancel(true);
      b->ModalResult = d.Opts.Button.ModalResult;
      if (d.Opts.Button.Glyph != bgNone) b->SetGlyph(d.Opts.Button.Glyph);
      b->OnClick = handler();
      return b;
    }
    case TKind::Label: {
      auto l = std::make_unique<TLabel>(a);
      if (f & cfAlignRight) l->SetAlignment(taRightJustify);
      l->OnClick = handler();
      return l;
    }
    case TKind::Edit: {
      auto e = std::make_unique<TEdit>(a);
      if (f & cfReadOnly) e->SetReadOnly(true);
      if (d.Opts.Edit.MaxLength > 0) e->SetMaxLength(d.Opts.Edit.MaxLength);
      e->OnChange = handler();
      return e;
    }
    case TKind::Memo: {
      auto m = std::make_unique<TMemo>(a, (f & cfScrollBars) != 0, (f & cfNoWordWrap) == 0);
      if (f & cfReadOnly) m->SetReadOnly(true);
      m->OnChange = handler();
      return m;
    }
    case TKind::ListBox: {
      const int itemHeight =
          (f & cfOwnerDraw) ? ScaleToScreen(d.Opts.List.ItemHeight > 0 ? d.Opts.List.ItemHeight : 16) : 0;
      auto l = std::make_unique<TListBox>(a, itemHeight);
      AddItems(*l, d.Opts.List.Items);
      l->OnClick = handler();
      return l;
    }
    case TKind::ComboBox: {
      auto c = std::make_unique<TComboBox>(a);
      AddItems(*c, d.Opts.List.Items);
      c->OnChange = handler();
      return c;
    }
    case TKind::CheckBox:
    case TKind::RadioButton: {
      std::unique_ptr<TCheckBox> c;
      if (d.Kind == TKind::CheckBox)
        c = std::make_unique<TCheckBox>(a);
      else
        c = std::make_unique<TRadioButton>(a);
      // The stored state is no click.
      if (f & cfChecked) c->Perform(BM_SETCHECK, BST_CHECKED);
      c->OnClick = handler();
      return c;
    }
    case TKind::UpDown: {
      auto u = std::make_unique<TUpDown>(a);
      u->SetRange(d.Opts.Range.Min, d.Opts.Range.Max ? d.Opts.Range.Max : 100);
      if (d.Opts.Range.Associate) {
        auto* buddy = dynamic_cast<TWinControl*>(FindIn(components, d.Opts.Range.Associate));
        if (!buddy) throw Exception(Format(L"Нет элемента %ls для %ls", d.Opts.Range.Associate, d.Name));
        u->SetAssociate(buddy);
      }
      u->SetPosition(d.Opts.Range.Position);
      u->OnChange = handler();
      return u;
    }
    case TKind::ProgressBar: {
      auto p = std::make_unique<TProgressBar>(a);
      p->SetRange(d.Opts.Range.Min, d.Opts.Range.Max ? d.Opts.Range.Max : 100);
      p->SetPosition(d.Opts.Range.Position);
      return p;
    }
    case TKind::DateTimePicker: {
      auto p = std::make_unique<TDateTimePicker>(a, (f & cfTimeKind) ? TDateTimePicker::dtkTime
                                                                      : TDateTimePicker::dtkDate);
      p->OnChange = handler();
      return p;
    }
    case TKind::Panel:
      return std::make_unique<TPanel>(a);
    case TKind::Bevel:
      return std::make_unique<TBevel>(a, d.Opts.Bevel.Shape);
    case TKind::Shape: {
      auto s = std::make_unique<TShape>(a);
      s->OnClick = handler();
      return s;
    }
    case TKind::Image: {
      auto i = std::make_unique<TImage>(a);
      i->OnClick = handler();
      return i;
    }
    case TKind::Grid: {
      auto g = std::make_unique<TStringGrid>(a);
      g->SetColCount(d.Opts.Grid.ColCount > 0 ? d.Opts.Grid.ColCount : 5);
      g->SetRowCount(d.Opts.Grid.RowCount > 0 ? d.Opts.Grid.RowCount : 5);
      g->SetFixedCols(d.Opts.Grid.FixedCols);
      g->SetFixedRows(d.Opts.Grid.FixedRows);
      g->SetDefaultColWidth(ScaleToScreen(d.Opts.Grid.ColWidth > 0 ? d.Opts.Grid.ColWidth : 64));
      g->SetDefaultRowHeight(ScaleToScreen(d.Opts.Grid.RowHeight > 0 ? d.Opts.Grid.RowHeight : 24));
      unsigned options = d.Opts.Grid.Options;
      if (options == 0) {
        options = goAllLines;
        if (f & cfGridEditing) options |= goEditing | goAlwaysShowEditor;
        if (f & cfGridColSizing) options |= goColSizing;
      }
      g->SetOptions(options);
      return g;
    }
    case TKind::ToolBar:
      return std::make_unique<TToolBar>(a, (f & cfFlat) != 0);
    case TKind::ToolButton: {
      auto* bar = d.Opts.Parent ? dynamic_cast<TToolBar*>(FindIn(components, d.Opts.Parent)) : nullptr;
      if (!bar) throw Exception(Format(L"Нет панели инструментов для %ls", d.Name));
      TCreateArgs buttonArgs = a;
      buttonArgs.Parent = nullptr;
      auto b = std::make_unique<TToolButton>(buttonArgs, *bar, d.Opts.Tool.ImageIndex);
      b->OnClick = handler();
      return b;
    }
  }
  throw Exception(Format(L"Неизвестный вид элемента %ls", d.Name));
}

}  // namespace

void BuildLayout(TForm& form, std::span<const TCtlDef> layout, std::vector<std::unique_ptr<TControl>>& components) {
  for (const TCtlDef& d : layout) {
    TContainer* parent = &form;
    if (d.Opts.Parent && d.Kind != TKind::ToolButton) {
      parent = dynamic_cast<TContainer*>(FindIn(components, d.Opts.Parent));
      if (!parent) throw Exception(Format(L"Нет контейнера %ls для %ls", d.Opts.Parent, d.Name));
    }
    TCreateArgs args;
    args.Parent = parent;
    args.Name = d.Name;
    args.Text = d.Text ? d.Text : L"";
    args.Left = ScaleToScreen(d.Left);
    args.Top = ScaleToScreen(d.Top);
    args.Width = ScaleToScreen(d.Width);
    args.Height = ScaleToScreen(d.Height);
    args.Anchors = d.Anchors;
    std::unique_ptr<TControl> c = CreateKind(d, args, form, components);
    const unsigned f = d.Opts.Flags;
    if (d.Opts.Font) {
      TFontDef font = *d.Opts.Font;
      font.Height = ScaleToScreen(font.Height);
      c->SetFont(font);
    }
    if (d.Opts.Color != clDefault) c->SetColor(d.Opts.Color);
    if (f & cfHidden) c->SetVisible(false);
    if (f & cfDisabled) c->SetEnabled(false);
    if (f & cfHandPoint) c->SetCursor(crHandPoint);
    if (auto* w = dynamic_cast<TWinControl*>(c.get()); w && (f & cfNoTabStop)) w->SetTabStop(false);
    if (d.Opts.Align != alNone) c->SetAlign(d.Opts.Align);
    if (d.Opts.Hint) c->SetHint(d.Opts.Hint);
    if (d.Opts.AccName) c->SetAccLabel(d.Opts.AccName);
    components.push_back(std::move(c));
  }
}

void BindFields(TForm& form, std::span<const TCtlDef> layout) {
  for (const TCtlDef& d : layout) {
    if (!d.Bind) continue;
    TControl* c = form.FindControl(d.Name);
    if (!c || !d.Bind(form, *c)) throw Exception(Format(L"Нет элемента %ls нужного вида", d.Name));
  }
}
