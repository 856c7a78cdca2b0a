// TWMV: one frame of an animation strip. The picture is a vertical strip of
// equally tall frames (frame 0 on top), cut at creation into one off-screen
// surface per frame; the caller picks NumberFrame before each DrawMovie.
// A child control of the engine TWss, from which it reads the display.
#pragma once

#include <array>
#include <memory>
#include <string>

#include "components/WSprite.h"
#include "framework/TBitmap.h"
#include "platform/PictureDecoder.h"

namespace components {

class TWMV : public TWSprite {
 public:
  static constexpr int kMaxFrames = 200;

  explicit TWMV(TComponent* AOwner);
  ~TWMV() override;
  std::string ClassName() const override { return "TWMV"; }

  // The decoded copy of a JPEG strip, from which its frames are cut.
  const framework::TBitmap& GetDibBitmap() const { return FDibBitmap; }
  void SetFDibBitmap(const framework::TBitmap* b);
  // The same, taking the bitmap over instead of copying it.
  void SetFDibBitmap(framework::TBitmap&& b);
  // DibBitmap is the picture's own decoding, but is not held: the frames are
  // cut from the picture's rows as they are decoded, each when first asked
  // for (in order, so the decoder only goes forward), and those made so far
  // again at each restore. Only for a JPEG loaded from a resource; others get
  // the copy.
  void SetDibFromPicture();
  bool GetDibLoaded() const { return FDibLoaded; }

  int GetNumberFrame() const { return FNumberFrame; }
  void SetNumberFrame(int n) { FNumberFrame = n; }
  // OriginalHeight: the height of one frame in the picture.
  int GetYOffsetFrame() const { return FOriginalHeight; }
  void SetYOffsetFrame(int v);
  void SetTransparency(bool on);

  void CreateDXMovie();
  void Create1Surface(int i, int w, int h);
  void DDSetColorKey(platform::IDirectDrawSurface* surface, platform::COLORREF colour, int i);
  platform::DWORD DDColorMatch(platform::IDirectDrawSurface* surface, platform::COLORREF colour);
  // Draws frame NumberFrame. An empty slot (its creation failed, or the frames
  // were closed) or a NumberFrame outside 0..199 draws nothing and records
  // "eFpSurface==NULL", as a still sprite without a surface does.
  void DrawMovie();
  void DrawImageFunc();
  void RestoreSurfaces();
  void CloseDXMovie();

  void RestoreForEngine() override { RestoreSurfaces(); }
  void CloseForEngine() override { CloseDXMovie(); }

  int GetFrameCount() const { return FFrameCount; }
  int GetFrameWidth() const { return FFrameWidth; }
  int GetFrameHeight() const { return FFrameHeight; }
  // Frame i's surface, made first (with the frames before it) if it is still
  // to be cut; null when its making failed or i is no frame.
  platform::IDirectDrawSurface* GetFrameSurface(int i);

 private:
  void ReleaseSlot(int i);
  void RestoreFrames();
  const framework::TBitmap& SourceBitmap() const;
  // Copies frame i's rows into the scratch bitmap and stretches it onto dc.
  void PaintFrame(int i, platform::HDC dc, int w, int h, framework::TBitmap& scratch);
  // Frame i's rows from the picture's decoder, which goes on where it stopped.
  void ReadFrameRows(int i, framework::TBitmap& scratch);
  // Makes the frames still to be cut up to and including frame i.
  void CutFramesTo(int i);
  // Lets go of what cutting needs (frames still to be cut take it again).
  void DoneCutting();

  framework::TBitmap FDibBitmap;
  bool FDibLoaded = false;
  bool FDibFromPicture = false;
  std::unique_ptr<platform::JpegRows> FRows;  // only while frames are cut
  int FNumberFrame = 0;
  int FOriginalHeight = 0;
  std::array<platform::IDirectDrawSurface*, kMaxFrames> FSurfaces{};
  int FFrameCount = 0;
  int FFrameWidth = 0, FFrameHeight = 0;
  bool FIsJpeg = false;
  bool FFromDib = false;  // the frames were cut from DibBitmap
  int FCutHeight = 0;     // OriginalHeight when the frames were cut
  // Frames below this were made; those from it up to FFrameCount are still to be cut.
  int FFramesMade = kMaxFrames;
  // Only while frames are being cut.
  std::unique_ptr<framework::TBitmap> FScratch;
};

}  // namespace components
