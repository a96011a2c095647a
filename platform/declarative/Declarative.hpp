#pragma once

// Everything a declarative view needs: include this one header.
//
//   struct Meter {                                   // a component: any type with body(Context&)
//       std::shared_ptr<Model> model;                // reads of core::Observed are tracked
//       View body(Context& c) const {
//           auto open = c.state(false);              // per-identity state, by call order
//           return VStack({.spacing = 4}, {
//               Text(model->name.get()).font(graphics::Font::systemFont(11, graphics::FontWeight::bold)),
//               Button([open] { open.set(!open.get()); }, Text(open.get() ? "Hide" : "Show")),
//               If(open.get(), TextField(Binding<std::string>::to(model->name)))})
//               .padding(8).background(RoundedRectangle(6).fill(graphics::Color::controlColor()));
//       }
//   };
//   auto host = HostingView::make(Meter{model}, {0, 0, 300, 200});   // a ui::View: add it anywhere

#include "declarative/Content.hpp"
#include "declarative/Core.hpp"
#include "declarative/Focus.hpp"
#include "declarative/Form.hpp"
#include "declarative/Gestures.hpp"
#include "declarative/Hosting.hpp"
#include "declarative/Layout.hpp"
#include "declarative/Menu.hpp"
#include "declarative/TextField.hpp"
