#include "report_graph.h"

#include "graph_columns.h"
#include "plugin_support.h"
#include "range_report.h"

namespace morvith::ex {
namespace {

constexpr char GRAPH_CLASS[] = "MorvithExReportGraph";
constexpr char INFINITY_TEXT[] = "∞";
constexpr char WORST_TEXT[] = "最悪 ";

constexpr COLORREF AXIS_COLOR = RGB(160, 160, 160);
constexpr COLORREF Y_COLOR = RGB(0, 60, 170);
constexpr COLORREF CB_COLOR = RGB(150, 200, 240);
constexpr COLORREF CR_COLOR = RGB(245, 180, 180);
constexpr COLORREF WORST_COLOR = RGB(210, 0, 0);
constexpr COLORREF CURRENT_COLOR = RGB(0, 150, 60);
constexpr COLORREF TEXT_COLOR = RGB(0, 0, 0);

constexpr int32_t NO_FRAME = -1;

bool class_registered = false;
HWND graph_window = nullptr;
int32_t frame_on_screen = NO_FRAME;
int32_t clicked_frame = NO_FRAME;
// Whether a paint has shown the last report since it arrived, and the tick of the latest.
bool report_shown = false;
DWORD report_shown_at = 0;

// Pens made for one repaint and deleted with it; a pen the system refuses is null, and the
// lines it would draw come out in the previous pen.
class PaintPens {
public:
    explicit PaintPens(HDC dc) : dc_(dc), original_(SelectObject(dc, GetStockObject(BLACK_PEN))) {}
    ~PaintPens() {
        SelectObject(dc_, original_);
        for (HPEN pen : pens_) DeleteObject(pen);
    }
    PaintPens(const PaintPens&) = delete;
    PaintPens& operator=(const PaintPens&) = delete;

    enum Role { AXIS, Y, CB, CR, WORST, CURRENT, ROLE_COUNT };
    void Use(Role role) {
        static constexpr COLORREF COLORS[ROLE_COUNT] = {AXIS_COLOR,  Y_COLOR,     CB_COLOR,
                                                        CR_COLOR,    WORST_COLOR, CURRENT_COLOR};
        if (pens_[role] == nullptr) pens_[role] = CreatePen(PS_SOLID, 1, COLORS[role]);
        if (pens_[role] != nullptr) SelectObject(dc_, pens_[role]);
    }

private:
    HDC dc_;
    HGDIOBJ original_;
    HPEN pens_[ROLE_COUNT] = {};
};

void Line(HDC dc, int x1, int y1, int x2, int y2) {
    MoveToEx(dc, x1, y1, nullptr);
    LineTo(dc, x2, y2);
}

void Text(HDC dc, int x, int y, UINT align, const char* text) {
    SetTextAlign(dc, align);
    TextOutA(dc, x, y, text, lstrlenA(text));
}

void FrameNumberText(int32_t frame, char (&text)[12]) { wsprintfA(text, "%d", frame); }

// Rows of the previous column join this one's, so that the trace is unbroken.
struct Trace {
    int32_t top = -1;
    int32_t bottom = -1;
};

void DrawColumnSpan(HDC dc, int x, int plot_top, int32_t top, int32_t bottom, Trace& previous) {
    int32_t from = top;
    int32_t to = bottom;
    if (previous.top >= 0) {
        if (previous.bottom < from) from = previous.bottom;
        if (previous.top > to) to = previous.top;
    }
    Line(dc, x, plot_top + from, x, plot_top + to + 1);
    previous = {top, bottom};
}

struct Span {
    int left = 0;
    int right = 0;
    bool Meets(const Span& other) const { return left < other.right && other.left < right; }
};

int TextWidth(HDC dc, const char* text) {
    SIZE size{};
    GetTextExtentPoint32A(dc, text, lstrlenA(text), &size);
    return size.cx;
}

// The curves' names in the colours they are drawn in, at the top right or else the top
// left of the plot, wherever the worst frame's label leaves room.
void DrawLegend(HDC dc, const PlotArea& plot, int32_t curves, const Span& label) {
    struct Name {
        const char* text;
        COLORREF color;
    };
    static constexpr Name CHANNELS[] = {{"Y", Y_COLOR}, {"Cb", CB_COLOR}, {"Cr", CR_COLOR}};
    static constexpr Name SCORE[] = {{"VMAF", Y_COLOR}};
    const Name* names = curves == 1 ? SCORE : CHANNELS;
    const int32_t count = curves == 1 ? 1 : 3;
    constexpr int GAP = 6;
    int width = 0;
    for (int32_t i = 0; i < count; ++i) width += TextWidth(dc, names[i].text) + (i > 0 ? GAP : 0);
    const int right = plot.left + plot.width;
    Span legend{right - width, right};
    if (legend.Meets({label.left - GAP, label.right + GAP}))
        legend = {plot.left, plot.left + width};
    if (legend.left < plot.left || legend.Meets({label.left - GAP, label.right + GAP})) return;
    int x = legend.left;
    for (int32_t i = 0; i < count; ++i) {
        SetTextColor(dc, names[i].color);
        Text(dc, x, 1, TA_LEFT | TA_TOP, names[i].text);
        x += TextWidth(dc, names[i].text) + GAP;
    }
}

void DrawPlot(HDC dc, const RangeReport& report, const PlotArea& plot) {
    const ReportFrames frames = report.Frames();
    const GraphScale scale = ScaleOf(frames);
    PaintPens pens(dc);
    const int right = plot.left + plot.width;
    const int bottom = plot.top + plot.height;

    pens.Use(PaintPens::AXIS);
    Line(dc, plot.left - 1, plot.top, plot.left - 1, bottom);
    Line(dc, plot.left - 1, bottom, right, bottom);
    if (scale.has_infinite) Line(dc, plot.left - 4, plot.top, plot.left - 1, plot.top);

    // Cb and Cr first, so that Y stays on top where they cross; VMAF's score alone.
    Trace traces[3];
    constexpr PaintPens::Role ROLES[3] = {PaintPens::CB, PaintPens::CR, PaintPens::Y};
    const int first_curve = frames.curves == 1 ? 2 : 0;
    for (int32_t column = 0; column < plot.width; ++column) {
        const GraphColumn values =
            SummarizeColumn(frames, FramesOfColumn(column, plot.width, report.frame_count));
        const double lowest[3] = {values.lowest.cb, values.lowest.cr, values.lowest.y};
        const double highest[3] = {values.highest.cb, values.highest.cr, values.highest.y};
        for (int channel = first_curve; channel < 3; ++channel) {
            pens.Use(ROLES[channel]);
            DrawColumnSpan(dc, plot.left + column, plot.top, RowOfValue(highest[channel], scale, plot.height),
                           RowOfValue(lowest[channel], scale, plot.height), traces[channel]);
        }
    }

    const int32_t start = report.settings.range_start;
    const int32_t current_column = ColumnOfFrame(frame_on_screen - start, plot.width, report.frame_count);
    if (current_column >= 0) {
        pens.Use(PaintPens::CURRENT);
        Line(dc, plot.left + current_column, plot.top, plot.left + current_column, bottom);
    }

    // The scale, the first and last frame numbers.
    SetTextColor(dc, TEXT_COLOR);
    if (scale.has_infinite) Text(dc, plot.left - 6, plot.top - 7, TA_RIGHT | TA_TOP, INFINITY_TEXT);
    if (scale.has_finite) {
        Text(dc, plot.left - 6, plot.top + RowOfValue(scale.highest, scale, plot.height) - 6,
             TA_RIGHT | TA_TOP, FormatMeasure(scale.highest).c_str());
        if (scale.lowest < scale.highest) {
            Text(dc, plot.left - 6, bottom - 12, TA_RIGHT | TA_TOP, FormatMeasure(scale.lowest).c_str());
        }
    }
    char number[12];
    FrameNumberText(start, number);
    Text(dc, plot.left, bottom + 2, TA_LEFT | TA_TOP, number);
    FrameNumberText(start + report.frame_count - 1, number);
    Text(dc, right, bottom + 2, TA_RIGHT | TA_TOP, number);

    // The worst frame: a mark through the plot and its number and value above it.
    const int32_t worst_column = ColumnOfFrame(report.worst_frame - start, plot.width, report.frame_count);
    if (worst_column < 0) {
        DrawLegend(dc, plot, frames.curves, {});
        return;
    }
    const int x = plot.left + worst_column;
    const double worst_y = frames.At(report.worst_frame - start, 0);
    const int mark = plot.top + RowOfValue(worst_y, scale, plot.height);
    pens.Use(PaintPens::WORST);
    Line(dc, x, plot.top, x, bottom);
    Line(dc, x - 3, mark - 3, x + 4, mark + 4);
    Line(dc, x - 3, mark + 3, x + 4, mark - 4);
    char label[64];
    wsprintfA(label, "%s%d: %s%s", WORST_TEXT, report.worst_frame, FormatMeasure(worst_y).c_str(),
              report.settings.kind == host::MEASURE_PSNR ? "dB" : "");
    SetTextColor(dc, WORST_COLOR);
    const bool left_half = x < plot.left + plot.width / 2;
    Text(dc, left_half ? x + 3 : x - 2, 1, (left_half ? TA_LEFT : TA_RIGHT) | TA_TOP, label);
    const int label_width = TextWidth(dc, label);
    DrawLegend(dc, plot, frames.curves,
               left_half ? Span{x + 3, x + 3 + label_width} : Span{x - 2 - label_width, x - 2});
}

void Paint(HWND window) {
    PAINTSTRUCT paint;
    const HDC dc = BeginPaint(window, &paint);
    if (dc == nullptr) return;
    RECT client;
    GetClientRect(window, &client);
    FillRect(dc, &client, GetSysColorBrush(COLOR_WINDOW));
    const HGDIOBJ original_font = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(dc, TRANSPARENT);
    const RangeReport* report = LastReport();
    const PlotArea plot = PlotAreaOf(client.right, client.bottom);
    if (report == nullptr || !report->HasFrames()) {
        SetTextColor(dc, TEXT_COLOR);
        Text(dc, 8, 8, TA_LEFT | TA_TOP, report == nullptr ? NO_REPORT_TEXT : NO_FRAMES_TEXT);
    } else if (plot.width > 0) {
        DrawPlot(dc, *report, plot);
    }
    report_shown = true;
    report_shown_at = GetTickCount();
    SelectObject(dc, original_font);
    EndPaint(window, &paint);
}

void Click(HWND window, int x, int y) {
    RECT client;
    GetClientRect(window, &client);
    const PlotArea plot = PlotAreaOf(client.right, client.bottom);
    const RangeReport* report = LastReport();
    if (!plot.Contains(x, y) || report == nullptr || !report->HasFrames()) return;
    // Clicks that waited in the queue through a range were aimed at columns of a graph the
    // user saw before, not at this report's.
    const DWORD clicked_at = static_cast<DWORD>(GetMessageTime());
    if (!report_shown || static_cast<LONG>(clicked_at - report_shown_at) < 0) return;
    const int32_t frame = FrameAtColumn(report->Frames(), x - plot.left, plot.width);
    if (frame < 0) return;
    clicked_frame = report->settings.range_start + frame;
    SendMessageA(GetParent(window), WM_COMMAND, MAKEWPARAM(REPORT_GRAPH_ID, 0),
                 reinterpret_cast<LPARAM>(window));
}

// Called by the system on the host's thread and stack.
MORVITH_HOST_CALLBACK LRESULT CALLBACK GraphWindowProc(HWND window, UINT message, WPARAM wparam,
                                                       LPARAM lparam) {
    switch (message) {
        case WM_PAINT:
            Paint(window);
            return 0;
        case WM_ERASEBKGND:
            return 1;  // the repaint fills the whole window
        case WM_LBUTTONDOWN:
            Click(window, static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam)));
            return 0;
        case WM_NCDESTROY:
            if (window == graph_window) graph_window = nullptr;
            break;
        default:
            break;
    }
    return DefWindowProcA(window, message, wparam, lparam);
}

}  // namespace

const char NO_REPORT_TEXT[] = "範囲を測定するとグラフが表示されます。";
const char NO_FRAMES_TEXT[] = "フレームごとの値がありません。";

void CreateReportGraph(HWND settings_window, HINSTANCE instance) {
    if (!class_registered) {
        WNDCLASSA graph_class{};
        graph_class.lpfnWndProc = GraphWindowProc;
        graph_class.hInstance = instance;
        graph_class.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
        graph_class.lpszClassName = GRAPH_CLASS;
        class_registered = RegisterClassA(&graph_class) != 0;
        if (!class_registered) return;
    }
    // The host sends the setup message once per window; should it come again, the window
    // keeps its one graph.
    if (graph_window != nullptr && IsWindow(graph_window) && GetParent(graph_window) == settings_window) {
        AlignReportGraph(settings_window);
        return;
    }
    graph_window = CreateWindowExA(WS_EX_CLIENTEDGE, GRAPH_CLASS, "", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0,
                                   settings_window,
                                   reinterpret_cast<HMENU>(static_cast<UINT_PTR>(REPORT_GRAPH_ID)),
                                   instance, nullptr);
    AlignReportGraph(settings_window);
}

void AlignReportGraph(HWND settings_window) {
    if (graph_window == nullptr || GetParent(graph_window) != settings_window) return;
    RECT client;
    if (!GetClientRect(settings_window, &client)) return;
    const int height = client.bottom < REPORT_GRAPH_HEIGHT ? client.bottom : REPORT_GRAPH_HEIGHT;
    MoveWindow(graph_window, 0, client.bottom - height, client.right, height, TRUE);
}

void DestroyReportGraph(HINSTANCE instance) {
    if (graph_window != nullptr) DestroyWindow(graph_window);
    graph_window = nullptr;
    if (class_registered) UnregisterClassA(GRAPH_CLASS, instance);
    class_registered = false;
    frame_on_screen = NO_FRAME;
    clicked_frame = NO_FRAME;
    report_shown = false;
}

void RedrawReportGraph() {
    report_shown = false;
    if (graph_window != nullptr) InvalidateRect(graph_window, nullptr, FALSE);
}

void ShowFrameOnGraph(int32_t frame) {
    if (frame == frame_on_screen) return;
    frame_on_screen = frame;
    if (graph_window != nullptr) InvalidateRect(graph_window, nullptr, FALSE);
}

int32_t TakeClickedFrame() {
    const int32_t frame = clicked_frame;
    clicked_frame = NO_FRAME;
    return frame;
}

}  // namespace morvith::ex
