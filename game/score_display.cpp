// What the game draws besides the board and the animations: the three HUD
// numbers, the timer dots and the score pop-ups rising from removed heads.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "game/game.h"
#include "game/game_screen.h"
#include "game/rules/timing.h"
#include "shell/app.h"
#include "gx/frame_clock.h"
#include "gx/surface.h"
#include "widgets/redraw_manager.h"

namespace {

// Right-aligned digits; any other character leaves a blank glyph.
void DrawNumber(Sprite* font, int right, int y, const char* text, IDirectDrawSurface* destination) {
  if (!font) return;
  const int glyph = font->width / 10;
  int x = right - glyph * static_cast<int>(std::strlen(text));
  font->y = static_cast<float>(y);
  for (const char* p = text; *p; ++p) {
    if (*p >= '0' && *p <= '9') {
      font->SetCurrentFrame(*p - '0');
      font->x = static_cast<float>(x);
      font->DrawTo(destination);
    }
    x += glyph;
  }
}

// The box under the buttons where the pointer's group shows its points.
constexpr RECT kPreviewBox{4, 572, 91, 595};
// The summary panel over the board, and its number boxes (left and right
// edge, first row's top and the step between rows) in the panel.
constexpr int kSummaryX = 290, kSummaryY = 150;
constexpr int kSummaryBoxLeft = 160, kSummaryBoxRight = 276, kSummaryFirstRow = 88, kSummaryRowStep = 40;

}  // namespace

// --- TimerDots -----------------------------------------------------------------

TimerDots::TimerDots(const char* path, int images, int columnCount, int rowCount, int gx, int gy)
    : columns(columnCount), rows(rowCount), gapX(gx), gapY(gy) {
  dot.LoadStrip(path, images, 0);
  dot.DivideWidthByFrames();
}

int TimerDots::Count() const {
  // Truncated toward zero; a negative share shows no dot.
  const int n = static_cast<int>(static_cast<float>(columns * rows) * fraction);
  return n > 0 ? n : 0;
}

void TimerDots::Draw(IDirectDrawSurface* surface, int x, int y) {
  const int n = Count();
  const int stepX = dot.width + gapX, stepY = dot.height + gapY;
  redrawManager.RestoreRect(x, y, stepX * columns, stepY * rows);
  const int bands = dot.FrameCount();
  int index = 0;
  for (int j = 0; j < rows; ++j) {
    dot.SetCurrentFrame(bands > 0 ? j % 5 : 0);
    for (int k = 0; k < columns; ++k) {
      if (index < n) {
        dot.x = static_cast<float>(x + k * stepX);
        dot.y = static_cast<float>(y + j * stepY);
        dot.DrawTo(surface);
      }
      ++index;
    }
  }
}

// --- Score pop-ups -------------------------------------------------------------

void ScorePopup::Move() {
  if (frameRate < 10.0f) frameRate = 60.0f;
  // A frame is ClockRate() times as long in game time: a pop-up rises as far
  // in its second at double speed.
  const float step = static_cast<float>(ClockRate()) / frameRate;
  x += vx * step;
  y += vy * step;
  if (y < 10.0f) {
    y = 10.0f;
    vy = 0.0f;
  }
}

namespace {

ScorePopup* NewPopup(IDirectDrawSurface* image, const Block& block) {
  ScorePopup* popup = new ScorePopup();
  if (image) popup->AddSharedFrame(image);
  popup->x = block.x;
  popup->y = block.y;
  popup->vx = 0.0f;
  popup->vy = block.y >= 10.0f ? -50.0f : 0.0f;
  popup->expiry = TicksAfter(static_cast<int>(quibbleton::kPopupMs));
  return popup;
}

}  // namespace

void Game::AddPointsPopup(const Block& block, int index) {
  const int tile = (29 - index) * 5 + block.colour;
  IDirectDrawSurface* image =
      tile >= 0 && tile < static_cast<int>(scoreTiles.size()) ? scoreTiles[static_cast<size_t>(tile)] : nullptr;
  popups.push_back(NewPopup(image, block));
  popups.back()->points = (index + 1) * 100;
}

void Game::AddMultiplierPopup(const Block& block) {
  // The strip ends at x26: a larger multiplier shows that image.
  int image = 26 - multiplier;
  if (image < 0) image = 0;
  Sprite* strip = screen.MultiplierStrip();
  IDirectDrawSurface* surface =
      strip && image < strip->FrameCount() ? strip->frames[static_cast<size_t>(image)] : nullptr;
  popups.push_back(NewPopup(surface, block));
}

void Game::UpdatePopups(IDirectDrawSurface* surface) {
  for (size_t i = 0; i < popups.size();) {
    ScorePopup* popup = popups[i];
    popup->Move();
    if (TicksSince(popup->expiry) > 0) {
      delete popup;
      popups.erase(popups.begin() + static_cast<std::ptrdiff_t>(i));
    } else {
      ++i;
    }
  }
  popupsVisible = 0;
  for (ScorePopup* popup : popups)
    if (popup->y > 5.0f) {
      popup->DrawTo(surface);
      popupsVisible = 1;
    }
}

// --- HUD -----------------------------------------------------------------------

void Game::DrawHud() {
  redrawManager.RestoreRect(0, 50, 83, 136);
  IDirectDrawSurface* target = redrawManager.GetTarget();
  Sprite* font = screen.ScoreFont();
  char text[16];
  const HighScoreEntry* best = highScores.Entry(0);
  std::snprintf(text, sizeof text, "%d", best ? best->score : 0);
  DrawNumber(font, 88, 74, text, target);
  std::snprintf(text, sizeof text, "%d", score);
  DrawNumber(font, 88, 116, text, target);
  std::snprintf(text, sizeof text, "%d", groupPoints);
  DrawNumber(font, 84, 158, text, target);
  // The box under the buttons: what a click on the group under the pointer would add.
  redrawManager.RestoreRect(kPreviewBox.left, kPreviewBox.top, kPreviewBox.right - kPreviewBox.left,
                            kPreviewBox.bottom - kPreviewBox.top);
  if (!showing && !paused && preview.points > 0) {
    std::snprintf(text, sizeof text, "%d", preview.points);
    DrawNumber(font, 88, 574, text, target);
  }
}

void Game::AddGroupPopup(float x, float y, int points, int expiry) {
  const std::vector<IDirectDrawSurface*>& glyphs = screen.ScoreGlyphs();
  if (points <= 0 || glyphs.size() < 11) return;
  char text[16];
  std::snprintf(text, sizeof text, "+%d", points);
  const int length = static_cast<int>(std::strlen(text));
  int glyphWidth = 0, glyphHeight = 0;
  GetSurfaceSize(glyphs[0], &glyphWidth, &glyphHeight);
  IDirectDrawSurface* image = CreateOffscreenSurface(glyphWidth * length, glyphHeight);
  if (!image) return;
  // Pure blue is the pop-ups' transparent colour; the glyphs keep theirs.
  Fill(image, PackColor(image, 0, 0, 255));
  SetColorKeyRGB(image, 0, 0, 255);
  for (int i = 0; i < length; ++i) {
    const int glyph = text[i] == '+' ? 0 : text[i] - '0' + 1;
    DrawSurfaceAt(glyphs[static_cast<size_t>(glyph)], image, i * glyphWidth, 0);
  }
  ScorePopup* popup = new ScorePopup(image);
  popup->AddSharedFrame(image);
  // Centred over the head it rises from, inside the board's width.
  popup->x = std::max(static_cast<float>(originX), x + static_cast<float>(cellWidth - glyphWidth * length) / 2.0f);
  popup->y = y;
  popup->vx = 0.0f;
  popup->vy = y >= 10.0f ? -50.0f : 0.0f;
  popup->expiry = expiry;
  popup->points = points;
  popups.push_back(popup);
}

void Game::DrawSummary(IDirectDrawSurface* surface) {
  Sprite* panel = screen.SummaryPanel();
  if (!panel || !surface) return;
  panel->SetPosition(kSummaryX, kSummaryY);
  panel->DrawTo(surface);
  Sprite* font = screen.ScoreFont();
  const int right = kSummaryX + kSummaryBoxRight;
  char text[16];
  std::snprintf(text, sizeof text, "%d", summary.score);
  DrawNumber(font, right, kSummaryY + kSummaryFirstRow, text, surface);
  if (summary.place > 0) {
    std::snprintf(text, sizeof text, "%d", summary.place);
    DrawNumber(font, right, kSummaryY + kSummaryFirstRow + kSummaryRowStep, text, surface);
  } else if (Sprite* none = screen.NotListed()) {
    none->SetPosition(kSummaryX + kSummaryBoxLeft, kSummaryY + kSummaryFirstRow + kSummaryRowStep);
    none->DrawTo(surface);
  }
  std::snprintf(text, sizeof text, "%d", summary.best);
  DrawNumber(font, right, kSummaryY + kSummaryFirstRow + 2 * kSummaryRowStep, text, surface);
}
