#include "render/frame_draw.h"

#include "render/edit_draw.h"
#include "render/front_draw.h"
#include "render/scene_draw.h"
#include "render/screen_draw.h"
#include "render/video.h"

std::size_t DrawFrameView(const FrameView& view, const VideoState& video, std::size_t from) {
  for (std::size_t k = from; k < view.items.size(); ++k) {
    const ViewItem& it = view.items[k];
    const float* f = it.f;
    switch (it.op) {
      case ViewOp::kClear:
        ClearFrame();
        break;
      case ViewOp::kFinish:
        FinishFrame();
        break;
      case ViewOp::kResetModelView:
        ResetModelView();
        break;
      case ViewOp::kTranslate:
        TranslateView(f[0], f[1], f[2]);
        break;
      case ViewOp::kPushView:
        PushView();
        break;
      case ViewOp::kPopView:
        PopView();
        break;
      case ViewOp::kWireframe:
        SetWireframe(it.i != 0);
        break;
      case ViewOp::kOpaqueBlend:
        SetOpaqueBlend();
        break;
      case ViewOp::kFadeBlend:
        SetFadeBlend();
        break;
      case ViewOp::kBalls:
        DrawBalls(view.sims[it.snapshot], video, f[0]);
        break;
      case ViewOp::kGhost:
        DrawGhost(video, f[0], f[1], f[2]);
        break;
      case ViewOp::kMapObjects:
        DrawMapObjects(view.maps[it.snapshot], video);
        break;
      case ViewOp::kGrid:
        DrawGrid(f[0], f[1]);
        break;
      case ViewOp::kGoalDisk:
        DrawGoalDisk(view.sims[it.snapshot], video);
        break;
      case ViewOp::kParticles:
        DrawParticles(view.particles[it.snapshot], video);
        break;
      case ViewOp::kBurnOverlay:
        DrawBurnOverlay(video, it.i);
        break;
      case ViewOp::kPanel:
        DrawPanel(f[0], f[1], f[2], f[3], f[4]);
        break;
      case ViewOp::kHudBackground:
        DrawHudBackground(f[0], f[1], it.i != 0);
        break;
      case ViewOp::kTextOnPlane:
        DrawTextOnPlane(video, it.text, f[0], f[1], f[2], f[3], f[4]);
        break;
      case ViewOp::kTitleOnPlane:
        DrawTitleOnPlane(video, it.text, f[0], f[1], f[2], f[3], f[4]);
        break;
      case ViewOp::kText:
        DrawText(video, it.text, f[0], f[1], f[2], f[3], f[4]);
        break;
      case ViewOp::kTitle:
        DrawTitle(video, it.text, f[0], f[1], f[2], f[3], f[4]);
        break;
      case ViewOp::kTitleImage:
        DrawTitleImage(video);
        break;
      case ViewOp::kEntryBars:
        DrawEntryBars(it.i);
        break;
      case ViewOp::kFlatBox:
        DrawFlatBox(f[0], f[1], f[2], f[3], f[4]);
        break;
      case ViewOp::kLogo:
        DrawLogo(video, it.i != 0, f[0]);
        break;
      case ViewOp::kMark:
        return k + 1;
      case ViewOp::kHandle:
        DrawHandle(f[0], f[1], f[2], it.i);
        break;
      case ViewOp::kEditLine:
        DrawEditLine(f[0], f[1], f[2], f[3], it.i);
        break;
    }
  }
  return view.items.size();
}
