function visualiseF(fname)
  % visualiseF(fname): plot a temperature profile written by Tepora.
  %   fname holds ndr rows (row 1 = strand axis, last row = surface) by ndz
  %   columns (column 1 = inlet) of temperatures in degC. The grid steps are
  %   read from ../Input/NumSettings.txt beside the file's folder (line 1:
  %   dr in m, line 2: dz in m); without them the axes show cell indices.
  %   Writes a PNG beside fname (same name, extension .png); also keeps a
  %   window open when a display is available.
  if nargin < 1 || isempty(fname)
    fname = 'TempProfile_final.mat';
  end
  try
    T = load('-ascii', fname);
  catch
    printf('visualiseF: cannot read %s, no plot made\n', fname);
    return;
  end
  if isempty(T) || ~isnumeric(T)
    printf('visualiseF: %s holds no temperatures, no plot made\n', fname);
    return;
  end
  [ndr, ndz] = size(T);

  % Grid steps; cell indices when the settings cannot be read.
  dr = NaN; dz = NaN;
  fid = fopen(fullfile(fileparts(fname), '..', 'Input', 'NumSettings.txt'), 'r');
  if fid >= 0
    v = fscanf(fid, '%f');
    fclose(fid);
    if numel(v) >= 2 && all(isfinite(v(1:2))) && all(v(1:2) > 0)
      dr = v(1); dz = v(2);
    end
  end
  if isfinite(dr)
    r = ((0:ndr-1) + 0.5) * dr;          % cell centres
    z = ((0:ndz-1) + 0.5) * dz;
    rlab = 'radius r (m)';
    zlab = 'distance from inlet z (m)';
  else
    r = 0:ndr-1;
    z = 0:ndz-1;
    rlab = 'radial cell index (grid steps unknown)';
    zlab = 'axial cell index (grid steps unknown)';
  end

  headless = isempty(getenv('DISPLAY'));
  if headless
    warning('off', 'Octave:gnuplot-graphics');
    warning('off', 'print:nogs');      % PNG goes through gnuplot, not gs
    graphics_toolkit('gnuplot');
    fig = figure('visible', 'off', 'position', [100 100 900 700]);
  else
    fig = figure('position', [100 100 900 700]);
  end

  [~, base, ~] = fileparts(fname);
  pngname = [base '.png'];
  d = fileparts(fname);
  if ~isempty(d)
    pngname = fullfile(d, pngname);
  end

  % (a) temperature over radius and distance from the inlet
  ax1 = subplot(2, 1, 1);
  imagesc(z, r, T);
  set(gca, 'ydir', 'normal');
  colormap(jet(256));
  cb = colorbar();
  ylabel(cb, 'temperature (degC)');
  xlabel(zlab);
  ylabel(rlab);
  title(sprintf('%s: temperature field (axis at bottom, surface at top)', fname), ...
        'interpreter', 'none');

  % (b) surface and axis temperature along the strand
  ax2 = subplot(2, 1, 2);
  plot(z, T(end, :), 'b-', 'linewidth', 1.5, z, T(1, :), 'r-', 'linewidth', 1.5);
  grid on;
  xlabel(zlab);
  ylabel('temperature (degC)');
  legend('surface (last row)', 'axis (first row)', 'location', 'northeast');
  title(sprintf('%s: surface and axis temperature', fname), 'interpreter', 'none');
  % same horizontal extent as the heat map, whose colour bar narrows it
  p1 = get(ax1, 'position');
  p2 = get(ax2, 'position');
  set(ax2, 'position', [p1(1) p2(2) p1(3) p2(4)], 'xlim', get(ax1, 'xlim'));

  if strcmp(graphics_toolkit(fig), 'gnuplot')
    device = '-dpngcairo';     % gnuplot's own PNG terminal, no Ghostscript
  else
    device = '-dpng';
  end
  print(fig, pngname, device, '-r100');
  printf('visualiseF: wrote %s\n', pngname);
  if headless
    close(fig);
  end
end
